#include "word/batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <fmt/format.h>

#include "base/interrupt.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "base/temp_folder.h"
#include "word/document.h"
#include "word/error.h"
#include "word/package.h"

namespace fs = std::filesystem;

namespace word {

namespace {

using FileId = std::pair<uint64_t, uint64_t>;

bool identity(const std::string& path, FileId& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return false;
  id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
}

// The regular file of `folder` (not its subfolders) that is the file `id`, or "".
std::string fileOfFolder(const fs::path& folder, FileId id) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    struct stat st {};
    if (::stat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        FileId(st.st_dev, st.st_ino) == id)
      return entry.path().string();
  }
  return {};
}

// The reason of a DocumentError without the file name.
std::string reasonOf(const DocumentError& e) {
  return e.reason().empty() ? e.what() : e.reason();
}

} // namespace

Batch::Batch(Application& app, ConvertOptions options) : app_(app), options_(std::move(options)) {}

Batch::~Batch() {
  if (!temp_.empty()) {
    std::error_code ec;
    fs::remove_all(temp_, ec);
  }
}

const std::string& Batch::temporaryFolder() {
  if (temp_.empty()) {
    int error = 0;
    temp_ = base::makeTempFolder("quillfold-batch", {}, &error);
    if (temp_.empty())
      throw DocumentError(msg::text(msg::kTempFolderFailed, msg::systemError(error)));
  }
  return temp_;
}

ConvertOptions Batch::conversionOptions() {
  // The LibreOffice starts of one batch (reading the sources, writing the outputs, reading those
  // back) hand their profile on to the next.
  if (options_.profileShelf.empty()) {
    try {
      const std::string shelf = temporaryFolder() + "/profiles";
      if (::mkdir(shelf.c_str(), 0700) == 0 || errno == EEXIST) {
        options_.profileShelf = shelf;
        options_.office = &office_;
      }
    } catch (const DocumentError&) {
      // Without the folder every start makes its own profile.
    }
  }
  return options_;
}

// ---- sources -----------------------------------------------------------------------------

void Batch::protectSources(const std::vector<std::string>& paths) {
  // A path or folder already known is not looked at again: a batch's sources mostly share one
  // folder, and a part of a larger batch names its own sources twice (as sources of the whole
  // and as its own).
  for (const std::string& path : paths) {
    FileId id;
    if (path.empty() || protectedPaths_.count(path) || !identity(path, id))
      continue;
    protectedPaths_.insert(path);
    sourceFiles_.push_back(id);
    const fs::path parent = fs::path(path).parent_path();
    const std::string folder = parent.empty() ? "." : parent.string();
    if (protectedFolders_.insert(folder).second && identity(folder, id))
      sourceFolders_.push_back(id);
  }
}

void Batch::addSources(const std::vector<std::string>& paths) {
  protectSources(paths);
  try {
    std::vector<ConversionJob> jobs;
    for (const std::string& path : paths) {
      if (converted_.count(path) || !needsConversion(path))
        continue;
      ConversionJob job;
      job.input = path;
      job.output = fmt::format("{}/in-{}.docx", temporaryFolder(), jobs.size() + 1);
      jobs.push_back(std::move(job));
      converted_[path] = {};
    }
    if (jobs.empty())
      return;
    convertFiles(jobs, conversionOptions());
    for (const ConversionJob& job : jobs) {
      Converted& in = converted_[job.input];
      if (job.ok)
        in.docx = job.output;
      else
        in.error = job.error.empty() ? msg::kLibreOfficeCannotConvert : job.error;
    }
  } catch (...) {
    // Without the conversion ahead every legacy source converts on its own when opened.
    converted_.clear();
  }
}

void Batch::addSourceFolder(const std::string& path) {
  if (!path.empty())
    folders_.push_back(path);
}

Document& Batch::open(const std::string& path) {
  auto it = converted_.find(path);
  if (it == converted_.end())
    return app_.open(path);
  if (!it->second.error.empty())
    throw DocumentError(path, "", it->second.error);
  std::unique_ptr<Document> doc;
  try {
    doc = Document::fromPackage(Package::open(it->second.docx), path);
  } catch (const DocumentError& e) {
    throw DocumentError(path, e.part(), msg::text(msg::kConvertedUnreadable, e.reason()));
  }
  doc->originalFormat = lowerExtension(path);
  doc->readThroughLibreOffice_ = true;
  return app_.adopt(std::move(doc));
}

// ---- outputs -----------------------------------------------------------------------------

void Batch::refuseSource(const Output& out) const {
  const fs::path target(out.path);
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0)
    return; // nothing there to replace
  const FileId id(st.st_dev, st.st_ino);
  std::vector<FileId> sources = sourceFiles_, folders = sourceFolders_;
  std::vector<fs::path> folderPaths(folders_.begin(), folders_.end());
  FileId other;
  if (!out.source.empty() && identity(out.source, other)) {
    sources.push_back(other);
    fs::path parent = fs::path(out.source).parent_path();
    if (parent.empty())
      parent = ".";
    folderPaths.push_back(parent);
  }
  for (const fs::path& f : folderPaths)
    if (identity(f.string(), other))
      folders.push_back(other);
  auto inFolders = [&](const fs::path& folder) {
    FileId d;
    return identity(folder.empty() ? "." : folder.string(), d) &&
           std::find(folders.begin(), folders.end(), d) != folders.end();
  };
  if (std::find(sources.begin(), sources.end(), id) != sources.end())
    throw DocumentError(out.path, "", msg::text(msg::kSaveOutputIsSource, out.path));
  if (inFolders(target.parent_path()))
    throw DocumentError(out.path, "",
                        msg::text(msg::kSaveOutputInSourceFolder, target.filename().string()));
  std::error_code ec;
  const fs::path resolved = fs::canonical(target, ec);
  if (!ec && inFolders(resolved.parent_path()))
    throw DocumentError(out.path, "",
                        msg::text(msg::kSaveOutputIsSourceFolderFile, out.path, resolved.string()));
  // A hard link of a source folder's file: a sign the user did not mean to lose it.
  if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
    for (const fs::path& f : folderPaths) {
      const std::string twin = fileOfFolder(f, id);
      if (!twin.empty())
        throw DocumentError(out.path, "",
                            msg::text(msg::kSaveOutputIsSourceFolderFile, out.path, twin));
    }
  }
}

bool Batch::save(Document& doc, const Output& out, const SaveHooks& hooks) {
  // The document goes whatever happens: at the latest when save() is left.
  struct Closer {
    Application& app;
    Document* doc;
    void close() {
      if (doc)
        app.close(*doc);
      doc = nullptr;
    }
    ~Closer() { close(); }
  } closer{app_, &doc};

  refuseSource(out);
  const std::string key = fs::path(out.path).lexically_normal().string();
  if (auto it = written_.find(key); it != written_.end() && hooks.replacing)
    hooks.replacing(it->second);

  const SaveFormat format = saveFormatFor(out.path, doc.readThroughLibreOffice());
  const bool native = format == SaveFormat::Ooxml;
  if (!native && hooks.beforeExport)
    hooks.beforeExport(doc);
  // The document is closed once its bytes are made, before the written file is read back
  // through the model.
  const std::string bytes = doc.saveToString();
  closer.close();
  if (native) {
    Document::savePackageBytes(out.path, bytes);
    base::interrupt::noteFinished(out.path);
  } else {
    const std::string docx =
        fmt::format("{}/out-{}-{}.docx", temporaryFolder(), out.number, deferred_.size() + 1);
    Document::savePackageBytes(docx, bytes);
    deferred_.push_back({docx, {out.path, out.label, out.number, format, false, {}}});
  }
  written_[key] = out.label;
  return !native;
}

std::vector<Export> Batch::flush(const ReadBack& readBack) {
  std::vector<Deferred> pending;
  pending.swap(deferred_);
  std::vector<Export> results;
  if (pending.empty())
    return results;
  std::vector<ConversionJob> jobs(pending.size());
  for (size_t i = 0; i < pending.size(); ++i) {
    jobs[i].input = pending[i].docx;
    jobs[i].output = pending[i].result.path;
    jobs[i].format = converterFormat(pending[i].result.format);
  }
  convertFiles(jobs, conversionOptions());
  for (size_t i = 0; i < pending.size(); ++i) {
    Export result = pending[i].result;
    result.written = jobs[i].ok;
    if (!jobs[i].ok)
      result.error = jobs[i].error.empty() ? msg::kConvertCouldNotWrite : jobs[i].error;
    results.push_back(std::move(result));
  }

  if (readBack) {
    std::vector<ConversionJob> back;
    std::vector<size_t> of;
    for (size_t i = 0; i < results.size(); ++i) {
      if (!results[i].written)
        continue;
      ConversionJob job;
      job.input = results[i].path;
      job.output = fmt::format("{}/back-{}.docx", temporaryFolder(), i + 1);
      job.format = "docx";
      back.push_back(std::move(job));
      of.push_back(i);
    }
    if (!back.empty())
      convertFiles(back, conversionOptions());
    for (size_t k = 0; k < back.size(); ++k) {
      std::string failure = back[k].error;
      std::unique_ptr<Package> pkg;
      if (back[k].ok) {
        try {
          pkg = Package::open(back[k].output);
        } catch (const DocumentError& e) {
          failure = reasonOf(e);
        }
      }
      readBack(of[k], results[of[k]], pkg.get(), failure);
      pkg.reset();
      std::error_code ec;
      fs::remove(back[k].output, ec);
    }
  }

  for (size_t i = 0; i < pending.size(); ++i) {
    std::error_code ec;
    fs::remove(pending[i].docx, ec);
    if (results[i].written)
      base::interrupt::noteFinished(results[i].path);
  }
  return results;
}

} // namespace word
