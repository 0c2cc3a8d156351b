// The engine object: its text properties, the event sink, and the batch that runs every named
// document through the steps of its run mode.

#include "engine/clsdoc.h"
#include "word/filetypes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>

#include "base/messages.h"
#include "base/system_error.h"
#include "base/temp_folder.h"
#include "engine/memory_budget.h"
#include "engine/standard/settings.h"
#include "settings/keytable.h"
#include "word/fonts.h"
#include "word/shapes.h"

namespace fs = std::filesystem;

namespace engine {

namespace {

// The 46 settings in interface order (the settings key table's), then the engine's own three
// document properties.
const std::vector<std::string> kPropertyNames = [] {
  std::vector<std::string> names;
  for (const settings::KeyInfo& key : settings::engineKeys())
    names.emplace_back(key.property);
  for (const char* own : {"DocPath", "DocFileName", "DocOutLocation"})
    names.emplace_back(own);
  return names;
}();

// The reason of a DocumentError without the file name (the batch names the document itself).
std::string reasonOf(const word::DocumentError& e) {
  if (e.reason().empty())
    return e.what();
  return e.part().empty() ? e.reason() : e.part() + ": " + e.reason();
}

} // namespace

clsDoc::clsDoc() {
  for (const auto& name : kPropertyNames)
    props_.emplace(name, std::string());
  for (const auto& p : standard::properties())
    props_.emplace(std::string(p.name), std::string(p.defaultText));
}

clsDoc::~clsDoc() {
  endBatch();
  WordApp.quit();
}

const std::vector<std::string>& clsDoc::propertyNames() {
  return kPropertyNames;
}

void clsDoc::setProperty(const std::string& name, const std::string& value) {
  auto it = props_.find(name);
  if (it == props_.end())
    throw std::invalid_argument(msg::text(msg::kUnknownProperty, name));
  it->second = value;
}

const std::string& clsDoc::property(const std::string& name) const {
  auto it = props_.find(name);
  if (it == props_.end())
    throw std::invalid_argument(msg::text(msg::kUnknownProperty, name));
  return it->second;
}

void clsDoc::setDocFiles(std::vector<std::string> names) {
  docFiles_ = std::move(names);
}

void clsDoc::SetEventSink(IQuillfoldEvents* sink) {
  sink_ = sink;
}

// ---- events ------------------------------------------------------------------------------

void clsDoc::sendMessage(const std::string& msgId, const std::string& msg, int cur, int all,
                         const std::string& docName) {
  if (!sink_)
    return;
  try {
    sink_->Message(msgId, msg, std::to_string(cur), std::to_string(all), docName);
  } catch (...) {
    // A sink must not throw; if it does, the batch still goes on.
  }
}

void clsDoc::sendError(int32_t errId, const std::string& errMsg) {
  if (!sink_)
    return;
  try {
    sink_->Error(errId, errMsg);
  } catch (...) {
  }
}

void clsDoc::notice(const std::string& msgId, const std::string& text) {
  sendMessage(msgId, text, curNum_, allNum_, curName_);
}

// ---- the batch ---------------------------------------------------------------------------

std::vector<std::string> clsDoc::batchNames() const {
  if (!docFiles_.empty())
    return docFiles_;
  std::vector<std::string> names;
  const std::string& list = property("DocFileName");
  if (list.empty())
    return names;
  size_t from = 0;
  for (;;) {
    size_t comma = list.find(',', from);
    names.push_back(
        list.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
    if (comma == std::string::npos)
      break;
    from = comma + 1;
  }
  return names;
}

std::string clsDoc::sourcePath(const std::string& name) const {
  const std::string& folder = property("DocPath");
  if (folder.empty())
    return name;
  return (fs::path(folder) / name).string();
}

word::Batch& clsDoc::batch() {
  if (!batch_) {
    batch_ = std::make_unique<word::Batch>(WordApp);
    batch_->addSourceFolder(property("DocPath"));
  }
  return *batch_;
}

void clsDoc::endBatch() {
  batch_.reset();
  deferredCensus_.clear();
  inBatch_ = false;
  curNum_ = allNum_ = 0;
  curName_.clear();
  curPath_.clear();
  curDoc_ = nullptr;
}

void clsDoc::openCurrent() {
  curDoc_ = &batch().open(curPath_);
  if (curDoc_->readThroughLibreOffice()) {
    std::string ext = word::lowerExtension(curPath_);
    notice("2", msg::text(msg::kEventConverted, ext.empty() ? msg::kEventLegacyWord : ext));
  }
  for (const auto& text : curDoc_->notices())
    notice("2", text);
  curDoc_->notices().clear();
}

void clsDoc::closeCurrent() {
  if (curDoc_) {
    WordApp.close(*curDoc_);
    curDoc_ = nullptr;
  }
}

const clsDoc::RunMode* clsDoc::findRunMode(const std::string& name) {
  static const std::vector<RunMode> kRunModes = {
      // The full run.
      {"0",
       true,
       {&clsDoc::clearFormatting, &clsDoc::cleanText, &clsDoc::fixPunctuation,
        &clsDoc::indentParagraphs, &clsDoc::formatSignature, &clsDoc::setupPage,
        &clsDoc::formatParagraphs, &clsDoc::applyFonts, &clsDoc::setHeaderFooter,
        &clsDoc::setColumns, &clsDoc::applyWatermark, &clsDoc::formatArticleHeadings,
        &clsDoc::formatNumberedHeadings}},
      // Header and page numbers only.
      {"YeMei", false, {&clsDoc::setHeaderFooter, &clsDoc::applyHeaderRule}},
      // Page setup only.
      {"YeMian", false, {&clsDoc::setupPage}},
      // Font sizes only.
      {"ZiHao", false, {&clsDoc::changeFontSizes}},
      // The national standard for official documents (engine/standard/): its text rewrites
      // come before the census, the layout after.
      {"Standard", true, {&clsDoc::standardLayout}, {&clsDoc::standardText}},
  };
  for (const RunMode& mode : kRunModes)
    if (mode.name == name)
      return &mode;
  return nullptr;
}

bool clsDoc::runDocument(const RunMode& mode) {
  const std::string& runMode = mode.name;
  std::string reason;
  try {
    if (curName_.empty())
      throw word::DocumentError(msg::kFileNameEmpty);
    openCurrent();
    if (auto shortfall =
            memoryShortfall(ActiveDocument().paragraphs().count(), runMode, availableMemory()))
      throw word::DocumentError(curPath_, "", *shortfall);
    if (mode.numbersAsText)
      ActiveDocument().convertNumbersToText();
    // Rewrites the run intends, before the census it is compared with.
    for (Step step : mode.textSteps)
      (this->*step)();
    std::optional<Census> source = takeCensus(ActiveDocument());
    // A text watermark is numbered after the document's shapes: they are counted now, while
    // the document is smallest (its story keeps the number through the steps' edits).
    if (settings().watermark() == Watermark::Text &&
        std::find(mode.steps.begin(), mode.steps.end(), &clsDoc::applyWatermark) !=
            mode.steps.end())
      word::Shapes::prepareNumbers(ActiveDocument());
    for (Step step : mode.steps)
      (this->*step)();
    for (const auto& warning : ActiveDocument().warnings())
      notice("3", warning);
    ActiveDocument().warnings().clear();
    // The edits are done: the model's text of the paragraphs is not held beside the census.
    ActiveDocument().releaseTextCaches();
    checkIntegrity(*source, runMode);
    source.reset(); // its letters are not held while the output is written and read back
    if (reportFontStandIns_ || gatherFonts_) {
      try {
        auto used = word::fontsUsedIn(ActiveDocument());
        batchFonts_.insert(used.begin(), used.end());
      } catch (...) {
        // Only a notice depends on it: the document goes on.
      }
    }
    saveOutput();
    closeCurrent();
    return true;
  } catch (const word::DocumentError& e) {
    reason = reasonOf(e);
  } catch (const std::bad_alloc&) {
    reason = msg::kOutOfMemory;
  } catch (const fs::filesystem_error& e) {
    reason =
        msg::text(msg::kFileSystemFailed, e.path1().string(), msg::systemError(e.code().value()));
  } catch (const std::exception&) {
    // A library's own text (English, and meaningless to the user) stays out of the reason.
    reason = msg::kUnknownFailure;
  } catch (...) {
    reason = msg::kUnknownFailure;
  }
  // The document is dropped unsaved; nothing of it reaches the output folder.
  try {
    closeCurrent();
  } catch (...) {
  }
  sendError(curNum_, msg::text(msg::kEventTypesetFailed,
                               curName_.empty() ? msg::kEventNoFileName : curName_, reason));
  return false;
}

void clsDoc::Main(const std::string& runMode) {
  batchFonts_.clear();
  try {
    endBatch();
    const std::vector<std::string> names = batchNames();
    allNum_ = static_cast<int>(names.size());
    const RunMode* mode = findRunMode(runMode);
    if (!mode) {
      sendError(0, msg::text(msg::kEventUnknownMode, runMode));
      sendMessage("101", msg::kEventBatchDone, 0, allNum_, "");
      allNum_ = 0;
      return;
    }
    inBatch_ = true;

    // The sources are known to the batch (no output replaces one), and the legacy ones are
    // converted in one LibreOffice call.
    std::vector<std::string> paths;
    for (const auto& name : names)
      paths.push_back(name.empty() ? std::string() : sourcePath(name));
    std::vector<std::string> others;
    for (const auto& name : wholeBatch_)
      if (!name.empty())
        others.push_back(sourcePath(name));
    batch().protectSources(others);
    batch().addSources(paths);

    for (size_t i = 0; i < names.size(); ++i) {
      curNum_ = static_cast<int>(i + 1);
      curPath_ = paths[i];
      curName_ = fs::path(names[i]).filename().string();
      sendMessage("0", msg::kEventProcessing, curNum_, allNum_, curName_);
      const bool ok = runDocument(*mode);
      sendMessage("100", msg::text(ok ? msg::kEventDone : msg::kEventFailed, curName_), curNum_,
                  allNum_, curName_);
    }
    curName_.clear();
    curPath_.clear();
    curNum_ = 0;
    try {
      finishLegacyOutputs();
    } catch (...) {
    }
    if (reportFontStandIns_ && !batchFonts_.empty()) {
      const std::string standIns = word::standInNotice(batchFonts_);
      if (!standIns.empty())
        sendMessage("3", standIns, 0, allNum_, "");
    }
    sendMessage("101", msg::kEventBatchDone, allNum_, allNum_, "");
  } catch (...) {
    // Main never throws: whatever escaped the per-document handling ends the batch here.
    sendError(curNum_, msg::kEventInterrupted);
    sendMessage("101", msg::kEventBatchDone, allNum_, allNum_, "");
  }
  endBatch();
}

} // namespace engine
