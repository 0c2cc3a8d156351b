#include "app/render/render.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include <sys/stat.h>

#include <fmt/format.h>

#include "base/messages.h"
#include "base/system_error.h"
#include "base/temp_folder.h"

namespace app::render {

namespace fs = std::filesystem;

namespace {

// FNV-1a, 64 bits: a short, stable name for a path in the cache.
uint64_t hashOf(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

} // namespace

std::vector<PdfJob> pdfJobsFor(const std::vector<std::string>& inputs, const std::string& folder) {
  std::map<std::string, int> stems;
  for (const auto& input : inputs)
    ++stems[fs::path(input).stem().string()];
  std::vector<PdfJob> jobs;
  for (const auto& input : inputs) {
    const fs::path p(input);
    const std::string stem = p.stem().string();
    PdfJob job;
    job.input = input;
    job.pdf =
        (fs::path(folder) / ((stems[stem] > 1 ? p.filename().string() : stem) + ".pdf")).string();
    jobs.push_back(std::move(job));
  }
  return jobs;
}

void renderPdfs(std::vector<PdfJob>& jobs, const word::ConvertOptions& options) {
  std::vector<word::ConversionJob> conversions;
  for (const auto& job : jobs) {
    word::ConversionJob c;
    c.input = job.input;
    c.output = job.pdf;
    c.format = "pdf";
    conversions.push_back(std::move(c));
  }
  try {
    word::convertFiles(conversions, options);
  } catch (const std::exception& e) {
    for (auto& c : conversions)
      if (!c.ok && c.error.empty())
        c.error = e.what();
  }
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].ok = conversions[i].ok;
    jobs[i].error = conversions[i].ok ? std::string() : conversions[i].error;
  }
}

std::string cacheFileFor(const std::string& input, const std::string& cacheFolder) {
  std::error_code ec;
  fs::path absolute = fs::absolute(input, ec);
  if (ec)
    return {};
  struct stat st {};
  if (::stat(absolute.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return {};
  const long long nanos =
      static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec;
  return (fs::path(cacheFolder) / fmt::format("{:016x}-{}-{}.pdf",
                                              hashOf(absolute.lexically_normal().string()),
                                              static_cast<long long>(st.st_size), nanos))
      .string();
}

std::vector<CachedPdf> cachedPdfs(const std::vector<std::string>& inputs,
                                  const std::string& cacheFolder,
                                  const word::ConvertOptions& options) {
  std::vector<CachedPdf> results(inputs.size());
  std::error_code ec;
  fs::create_directories(cacheFolder, ec);
  std::vector<PdfJob> missing;
  std::vector<size_t> where;
  for (size_t i = 0; i < inputs.size(); ++i) {
    CachedPdf& r = results[i];
    r.input = inputs[i];
    r.pdf = cacheFileFor(inputs[i], cacheFolder);
    if (r.pdf.empty()) {
      struct stat st {};
      r.error = ::stat(inputs[i].c_str(), &st) != 0
                    ? msg::text(msg::kRenderCannotRead, msg::systemError(errno))
                    : std::string(msg::kRenderNotAFile);
      r.pdf.clear();
      continue;
    }
    if (fs::is_regular_file(r.pdf, ec) && fs::file_size(r.pdf, ec) > 0) {
      r.ok = r.fromCache = true;
      continue;
    }
    if (!fs::is_directory(cacheFolder, ec)) {
      r.error =
          msg::text(msg::kPreviewCacheFailed, cacheFolder, ec ? msg::systemError(ec.value()) : "");
      continue;
    }
    PdfJob job;
    job.input = inputs[i];
    job.pdf = r.pdf;
    missing.push_back(std::move(job));
    where.push_back(i);
  }
  if (!missing.empty()) {
    renderPdfs(missing, options);
    for (size_t k = 0; k < missing.size(); ++k) {
      CachedPdf& r = results[where[k]];
      r.ok = missing[k].ok;
      r.error = missing[k].error;
    }
  }
  return results;
}

std::string defaultCacheFolder() {
  const std::string own = base::userCacheFolder();
  if (!own.empty())
    return (fs::path(own) / "preview").string();
  return (fs::path(base::systemTempFolder()) / "quillfold-cache" / "quillfold" / "preview")
      .string();
}

} // namespace app::render
