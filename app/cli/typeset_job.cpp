#include "app/cli/typeset_job.h"
#include "app/cli/render_command.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ostream>
#include <set>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "app/server/engine_client.h"
#include "app/server/engine_pool.h"
#include "base/ascii.h"
#include "base/interrupt.h"
#include "base/messages.h"
#include "base/utf8.h"
#include "base/wide_characters.h"
#include "settings/settings.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace quillfold::cli {

namespace {

// "doc", ".DOC" and "*.doc" all become ".doc".
std::string normalisedExt(std::string ext) {
  if (ext.rfind("*", 0) == 0)
    ext.erase(0, 1);
  if (ext.empty() || ext[0] != '.')
    ext.insert(0, ".");
  return base::lowerAscii(ext);
}

long parseNumber(const std::string& text) {
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    return -1;
  return value;
}

bool isWide(char32_t cp) {
  return base::isWideCharacter(cp);
}

} // namespace

std::optional<std::string> runModeFor(std::string_view mode) {
  if (mode == "full")
    return "0";
  if (mode == "header")
    return "YeMei";
  if (mode == "page")
    return "YeMian";
  if (mode == "size")
    return "ZiHao";
  if (mode == "standard")
    return "Standard";
  return std::nullopt;
}

const std::vector<std::string>& defaultExtensions() {
  static const std::vector<std::string> exts = {".doc", ".docx", ".docm", ".txt",
                                                ".rtf", ".wps",  ".odt"};
  return exts;
}

BatchInput gatherInputs(const TypesetRequest& request) {
  if (!request.files.empty() && !request.dir.empty())
    throw UsageError(msg::kCliFilesAndDir);
  if (request.dir.empty() && (!request.filter.empty() || !request.exts.empty()))
    throw UsageError(msg::kCliFilterNeedsDir);
  BatchInput input;
  if (!request.files.empty()) {
    std::set<fs::path> folders;
    for (const auto& file : request.files)
      folders.insert(fs::path(file).parent_path());
    if (folders.size() == 1) {
      input.docPath = folders.begin()->string();
      for (const auto& file : request.files)
        input.names.push_back(fs::path(file).filename().string());
    } else {
      input.names = request.files;
    }
    return input;
  }
  if (request.dir.empty())
    throw UsageError(msg::kCliNoDocuments);

  std::vector<std::string> exts;
  for (const auto& e : request.exts)
    exts.push_back(normalisedExt(e));
  if (exts.empty())
    exts = defaultExtensions();

  std::error_code ec;
  fs::directory_iterator it(request.dir, ec);
  if (ec)
    throw UsageError(
        msg::text(msg::kCliCannotList, request.dir, settings::systemErrorText(ec.value())));
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code sec;
    if (!it->is_regular_file(sec))
      continue;
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.' || name.rfind("~$", 0) == 0)
      continue;
    if (std::find(exts.begin(), exts.end(), base::lowerExtension(it->path())) == exts.end())
      continue;
    if (!request.filter.empty() && name.find(request.filter) == std::string::npos)
      continue;
    input.names.push_back(name);
  }
  if (ec)
    throw UsageError(
        msg::text(msg::kCliCannotList, request.dir, settings::systemErrorText(ec.value())));
  if (input.names.empty())
    throw UsageError(msg::text(msg::kCliNothingToTypeset, request.dir));
  std::sort(input.names.begin(), input.names.end());
  input.docPath = request.dir;
  return input;
}

// ---- report ------------------------------------------------------------------------------

int BatchReport::failedCount() const {
  return static_cast<int>(
      std::count_if(documents.begin(), documents.end(), [](auto& d) { return d.failed; }));
}

int BatchReport::warningCount() const {
  return static_cast<int>(std::count_if(documents.begin(), documents.end(),
                                        [](auto& d) { return !d.failed && !d.warnings.empty(); }));
}

int BatchReport::doneCount() const {
  return static_cast<int>(documents.size()) - failedCount();
}

int BatchReport::exitStatus() const {
  if (failedCount() > 0 || !batchErrors.empty())
    return kExitFailed;
  if (warningCount() > 0)
    return kExitNotices;
  return kExitDone;
}

// ---- events ------------------------------------------------------------------------------

EventPrinter::EventPrinter(OutputStyle style, std::ostream& out, std::ostream& err,
                           int terminalWidth)
    : style_(style), out_(out), err_(err), width_(terminalWidth > 0 ? terminalWidth : 80) {}

DocumentOutcome* EventPrinter::document(long number) {
  if (number < 1 || number > 1'000'000)
    return nullptr;
  if (report_.documents.size() < static_cast<size_t>(number))
    report_.documents.resize(static_cast<size_t>(number));
  return &report_.documents[static_cast<size_t>(number - 1)];
}

void EventPrinter::clearBar() {
  if (barShown_) {
    out_ << "\r\x1b[K" << std::flush;
    barShown_ = false;
  }
}

void EventPrinter::drawBar() {
  constexpr int kBar = 24;
  const int filled = all_ > 0 ? static_cast<int>(done_ * kBar / all_) : 0;
  std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(kBar - filled), '-') + "] " +
                     fmt::format("{}/{}", done_, all_);
  if (!current_.empty())
    line += std::string("  ") + msg::kCliProcessing + terminalSafe(current_);
  out_ << "\r\x1b[K" << fitWidth(line, width_ - 1) << std::flush;
  barShown_ = true;
}

void EventPrinter::Error(int32_t errId, const std::string& errMsg) {
  if (DocumentOutcome* d = errId > 0 ? document(errId) : nullptr) {
    d->failed = true;
    d->errors.push_back(errMsg);
  } else {
    report_.batchErrors.push_back(errMsg);
  }
  switch (style_) {
  case OutputStyle::Json:
    out_ << nlohmann::json{{"event", "Error"}, {"errId", errId}, {"errMsg", errMsg}}.dump(
                -1, ' ', false, nlohmann::json::error_handler_t::replace)
         << '\n'
         << std::flush;
    break;
  case OutputStyle::ProgressBar:
    clearBar();
    err_ << msg::kCliError << terminalSafe(errMsg) << '\n' << std::flush;
    drawBar();
    break;
  case OutputStyle::Lines:
    out_ << std::flush;
    err_ << msg::kCliError << terminalSafe(errMsg) << '\n' << std::flush;
    break;
  }
}

void EventPrinter::Message(const std::string& msgId, const std::string& msg,
                           const std::string& curDocNum, const std::string& allDocNum,
                           const std::string& docName) {
  const long cur = parseNumber(curDocNum), all = parseNumber(allDocNum);
  if (all >= 0)
    all_ = all;
  DocumentOutcome* d = (msgId == "101") ? nullptr : document(cur);
  if (d && d->name.empty())
    d->name = docName;
  if (msgId == "0") {
    if (d)
      d->started = true;
    current_ = docName;
    cur_ = cur;
  } else if (msgId == "2" && d) {
    d->notes.push_back(msg);
  } else if (msgId == "3" && d) {
    d->warnings.push_back(msg);
  } else if (msgId == "100") {
    if (d)
      d->ended = true;
    if (cur >= 0)
      done_ = cur;
    current_.clear();
  } else if (msgId == "101") {
    report_.finished = true;
  }

  if (style_ == OutputStyle::Json) {
    out_ << nlohmann::json{{"event", "Message"},     {"msgId", msgId},         {"msg", msg},
                           {"curDocNum", curDocNum}, {"allDocNum", allDocNum}, {"docName", docName}}
                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
         << '\n'
         << std::flush;
    return;
  }
  // Every text of an event may carry a file name: each is printed terminal-safe.
  const std::string counter =
      fmt::format("[{}/{}] ", terminalSafe(curDocNum), terminalSafe(allDocNum));
  const std::string name = terminalSafe(docName), text = terminalSafe(msg);
  std::string line;
  if (msgId == "0")
    line = style_ == OutputStyle::Lines ? counter + msg::kCliProcessing + name : "";
  else if (msgId == "2")
    line = counter + msg::kCliNotice + text + ":" + name;
  else if (msgId == "3" && cur <= 0 && docName.empty()) // about the whole batch
    line = msg::kCliWarning + text;
  else if (msgId == "3")
    line = counter + msg::kCliWarning + text + ":" + name;
  else if (msgId == "100")
    line = style_ == OutputStyle::Lines ? counter + text : "";
  else if (msgId == "101")
    line = text;
  if (style_ == OutputStyle::ProgressBar) {
    clearBar();
    if (!line.empty())
      out_ << line << '\n';
    if (msgId != "101")
      drawBar();
    out_ << std::flush;
  } else if (!line.empty()) {
    out_ << line << '\n' << std::flush;
  }
}

void EventPrinter::summary(const std::string& outputFolder) {
  clearBar();
  const int total = static_cast<int>(report_.documents.size());
  if (style_ == OutputStyle::Json) {
    out_ << nlohmann::json{{"event", "summary"},
                           {"documents", total},
                           {"done", report_.doneCount()},
                           {"failed", report_.failedCount()},
                           {"withWarnings", report_.warningCount()},
                           {"output", outputFolder},
                           {"exitStatus", report_.exitStatus()}}
                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
         << '\n'
         << std::flush;
    return;
  }
  out_ << msg::text(msg::kCliSummary, total, report_.doneCount(), report_.failedCount(),
                    report_.warningCount())
       << '\n'
       << msg::text(msg::kCliResultsIn, terminalSafe(outputFolder)) << '\n'
       << std::flush;
}

// ---- the command -------------------------------------------------------------------------

std::string enginePath() {
  std::vector<fs::path> folders = {settings::programFolder()};
#ifdef QF_ENGINE_BUILD_FOLDER
  // A tool run from the build tree finds the server built beside it there.
  folders.emplace_back(QF_ENGINE_BUILD_FOLDER);
#endif
  const char* path = std::getenv("PATH");
  return app::findEngineServer(folders, path ? path : "");
}

int runTypeset(const TypesetRequest& request, std::ostream& out, std::ostream& err) {
  std::string runMode;
  BatchInput input;
  std::vector<std::pair<std::string, std::string>> properties;
  fs::path settingsPath;
  std::string outFolder;
  try {
    auto mode = runModeFor(request.mode);
    if (!mode)
      throw UsageError(msg::text(msg::kCliUnknownMode, request.mode));
    runMode = *mode;
    if (request.out.empty())
      throw UsageError(msg::kCliOutNeedsFolder);
    input = gatherInputs(request);
    settingsPath = request.settings.empty() ? settings::defaultSettingsPath() : request.settings;
    settings::IniFile ini(settingsPath);
    if (!ini.readError().empty())
      throw UsageError(ini.readError());
    if (!ini.readWarning().empty())
      reportUsage(err, ini.readWarning());
    properties = settings::loadEngineProperties(ini);
    for (auto& property : settings::loadStandardProperties(ini))
      properties.push_back(std::move(property));

    std::error_code ec;
    const fs::path outAbs = fs::absolute(request.out, ec);
    outFolder = ec ? request.out : outAbs.lexically_normal().string();
    // A folder that cannot take the outputs is found before the batch, not once per document.
    prepareOutputFolder(outFolder);
  } catch (const UsageError& e) {
    return reportUsage(err, e.what());
  }
  if (!request.settings.empty() && !fs::exists(settingsPath))
    reportUsage(err, msg::text(msg::kCliSettingsMissing, settingsPath.string()));

  EventPrinter printer(request.style, out, err, request.terminalWidth);
  app::EngineCallbacks callbacks;
  callbacks.message = [&printer](const std::string& msgId, const std::string& msg,
                                 const std::string& cur, const std::string& all,
                                 const std::string& name) {
    printer.Message(msgId, msg, cur, all, name);
  };
  callbacks.error = [&printer](int32_t id, const std::string& text) { printer.Error(id, text); };
  // The servers write the outputs; an interrupt of this program reports them as finished.
  callbacks.written = [](const std::string& path) { base::interrupt::noteFinished(path); };
  const std::string program = request.enginePath.empty() ? enginePath() : request.enginePath;
  const std::size_t jobs =
      std::min(request.jobs > 0 ? request.jobs : app::EnginePool::defaultJobs(),
               std::max<std::size_t>(input.names.size(), 1));
  app::EnginePool pool(program, std::move(callbacks), jobs);
  app::EngineBatch batch;
  batch.properties = properties;
  batch.docPath = input.docPath;
  batch.files = input.names;
  batch.outFolder = outFolder;
  batch.runMode = runMode;
  std::string error;
  if (program.empty())
    printer.Error(0, msg::text(msg::kCliEngineNotFound, settings::programFolder().string()));
  else if (!pool.beginBatch(batch, error))
    printer.Error(0, msg::text(msg::kCliBatchNotStarted, error));
  else
    pool.waitForBatch();
  pool.stop();
  if (request.pdf)
    writeBatchPdfs(printer, outFolder, request.style, out);
  printer.summary(outFolder);
  return printer.report().exitStatus();
}

// ---- terminal width ----------------------------------------------------------------------

int displayWidth(std::string_view utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();)
    width += isWide(base::decodeUtf8(utf8, i)) ? 2 : 1;
  return width;
}

std::string fitWidth(std::string_view utf8, int columns) {
  if (displayWidth(utf8) <= columns)
    return std::string(utf8);
  int width = 0;
  size_t i = 0, keep = 0;
  while (i < utf8.size()) {
    size_t next = i;
    int w = isWide(base::decodeUtf8(utf8, next)) ? 2 : 1;
    if (width + w > columns - 1)
      break;
    width += w;
    i = next;
    keep = i;
  }
  return std::string(utf8.substr(0, keep)) + "…";
}

} // namespace quillfold::cli
