#include "app/cli/render_command.h"

#include <filesystem>
#include <ostream>

#include <nlohmann/json.hpp>

#include "app/render/render.h"
#include "base/ascii.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "word/fonts.h"

namespace quillfold::cli {

namespace fs = std::filesystem;

namespace {

std::string dumpJson(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// `text` padded with blanks to `columns` terminal columns.
std::string pad(const std::string& text, int columns) {
  return text + std::string(static_cast<size_t>(std::max(0, columns - displayWidth(text))), ' ');
}

// The name the engine gives the output of source `name`: ".txt" (any case) becomes ".doc".
std::string outputNameOf(const std::string& name) {
  fs::path p(name);
  if (base::lowerExtension(p) == ".txt")
    p.replace_extension(".doc");
  return p.filename().string();
}

} // namespace

int runRender(const RenderCommand& command, std::ostream& out, std::ostream& err) {
  std::error_code ec;
  fs::create_directories(command.out, ec);
  if (ec || !fs::is_directory(command.out, ec)) {
    err << "quillfold: "
        << msg::text(msg::kPdfCannotCreateFolder, command.out, msg::systemError(ec.value()))
        << '\n';
    return kExitUsage;
  }
  const std::string folder = fs::absolute(command.out, ec).lexically_normal().string();
  auto jobs = app::render::pdfJobsFor(command.files, folder);
  app::render::renderPdfs(jobs);
  int failed = 0;
  for (const auto& job : jobs) {
    failed += job.ok ? 0 : 1;
    if (command.json)
      out << dumpJson({{"event", "pdf"},
                       {"file", job.input},
                       {"pdf", job.ok ? job.pdf : ""},
                       {"ok", job.ok},
                       {"error", job.error}})
          << '\n';
    else if (job.ok)
      out << msg::text(msg::kPdfWritten, job.pdf) << '\n';
    else
      err << msg::text(msg::kPdfFailed, job.input, job.error) << '\n';
  }
  const int status = failed ? kExitFailed : kExitDone;
  if (command.json)
    out << dumpJson({{"event", "summary"},
                     {"documents", jobs.size()},
                     {"done", static_cast<int>(jobs.size()) - failed},
                     {"failed", failed},
                     {"output", folder},
                     {"exitStatus", status}})
        << '\n';
  else
    out << msg::text(msg::kPdfSummary, jobs.size(), static_cast<int>(jobs.size()) - failed, failed,
                     folder)
        << '\n';
  out << std::flush;
  return status;
}

int runFonts(bool json, std::ostream& out, std::ostream&) {
  const auto matches = word::matchFonts(word::officialFontNames());
  const std::string installed = word::installedFontConfigPath();
  const std::string source = installed.empty() ? std::string(msg::kFontsBuiltIn) : installed;
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& m : matches)
      list.push_back({{"name", m.name},
                      {"installed", m.installed},
                      {"family", m.family},
                      {"style", m.style},
                      {"file", m.file}});
    out << dumpJson({{"fonts", list}, {"configuration", installed}}) << '\n' << std::flush;
    return kExitDone;
  }
  int nameWidth = displayWidth(msg::kFontsHeaderName);
  for (const auto& m : matches)
    nameWidth = std::max(nameWidth, displayWidth(m.name));
  nameWidth += 2;
  const int installedWidth = displayWidth(msg::kFontsHeaderInstalled) + 2;
  out << pad(msg::kFontsHeaderName, nameWidth) << pad(msg::kFontsHeaderInstalled, installedWidth)
      << msg::kFontsHeaderUsed << '\n';
  for (const auto& m : matches) {
    std::string used = m.family.empty() ? std::string(msg::kFontNoFace) : m.family;
    if (!m.style.empty() && !m.family.empty())
      used += " " + m.style;
    out << pad(m.name, nameWidth) << pad(m.installed ? msg::kYes : msg::kNo, installedWidth) << used
        << '\n';
  }
  out << msg::text(msg::kFontsNote, source) << '\n' << std::flush;
  return kExitDone;
}

void writeBatchPdfs(EventPrinter& printer, const std::string& outputFolder, OutputStyle style,
                    std::ostream& out) {
  std::vector<std::string> outputs;
  for (const auto& d : printer.report().documents)
    if (d.ended && !d.failed && !d.name.empty())
      outputs.push_back((fs::path(outputFolder) / outputNameOf(d.name)).string());
  if (outputs.empty())
    return;
  if (style != OutputStyle::Json)
    out << msg::text(msg::kPdfWriting, outputs.size()) << '\n' << std::flush;
  auto jobs = app::render::pdfJobsFor(outputs, outputFolder);
  app::render::renderPdfs(jobs);
  for (const auto& job : jobs) {
    if (!job.ok) {
      printer.Error(0,
                    msg::text(msg::kPdfFailed, fs::path(job.input).filename().string(), job.error));
      continue;
    }
    if (style == OutputStyle::Json)
      out << dumpJson({{"event", "pdf"}, {"file", job.input}, {"pdf", job.pdf}, {"ok", true}})
          << '\n';
    else
      out << msg::text(msg::kPdfWritten, job.pdf) << '\n';
  }
  out << std::flush;
}

} // namespace quillfold::cli
