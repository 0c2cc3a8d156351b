// The engine object: its text properties, the event sink, and the batch that runs every named
// document through the steps of its run mode.

#include "engine/clsdoc.h"
#include "word/filetypes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include <fmt/format.h>

#include "base/messages.h"
#include "base/system_error.h"
#include "engine/memory_budget.h"
#include "word/convert.h"
#include "word/fonts.h"
#include "word/package.h"

namespace fs = std::filesystem;

namespace engine {

namespace {

// The 46 settings in interface order, then the three document properties.
const std::vector<std::string> kPropertyNames = {
    "纸张大小", "页方向",     "上边距",   "下边距",   "左边距",   "右边距",      "页眉边距",
    "页脚边距", "装订线位置", "装订线",   "使用页眉", "组合页眉", "使用页码",    "页眉",
    "页眉对齐", "页眉字体",   "页眉字号", "页码格式", "页码对齐", "正文字体",    "正文字号",
    "正文加粗", "标题字体",   "标题字号", "标题加粗", "一段标题", "标题对齐",    "字号增减",
    "行距",     "左缩进",     "右缩进",   "段前",     "段后",     "标点",        "空格",
    "空行",     "头空格",     "小括号",   "分栏",     "句号",     "水印",        "水印图片",
    "水印文字", "水印字体",   "水印样式", "水印颜色", "DocPath",  "DocFileName", "DocOutLocation",
};

std::pair<uint64_t, uint64_t> identity(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

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

float clsDoc::number(const std::string& name) const {
  const std::string& text = property(name);
  std::string_view t = text;
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
    t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
    t.remove_suffix(1);
  if (t.empty())
    throw StepError(msg::text(msg::kSettingEmpty, name));
  if (t.size() > 1 && t.front() == '+' && t[1] != '-')
    t.remove_prefix(1);
  float value = 0;
  auto [end, ec] =
      std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
    throw StepError(msg::text(msg::kSettingNotNumber, name, text));
  return value;
}

float clsDoc::fontSize(const std::string& name) const {
  float points = number(name);
  if (!(points >= 1.0f && points <= 1638.0f))
    throw StepError(msg::text(msg::kFontSizeOutOfRange, name, property(name)));
  return points;
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

const std::string& clsDoc::batchTemp() {
  if (batchTemp_.empty()) {
    std::string tmpl = (fs::temp_directory_path() / "quillfold-batch-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
      throw word::DocumentError(msg::text(msg::kTempFolderFailed, msg::systemError(errno)));
    batchTemp_ = tmpl;
  }
  return batchTemp_;
}

void clsDoc::endBatch() {
  if (!batchTemp_.empty()) {
    std::error_code ec;
    fs::remove_all(batchTemp_, ec);
    batchTemp_.clear();
  }
  convertedInputs_.clear();
  pendingOutputs_.clear();
  outputsWritten_.clear();
  sourceFiles_.clear();
  sourceFolders_.clear();
  inBatch_ = false;
  curNum_ = allNum_ = 0;
  curName_.clear();
  curPath_.clear();
  curDoc_ = nullptr;
}

void clsDoc::convertLegacyInputs(const std::vector<std::string>& paths) {
  std::vector<word::ConversionJob> jobs;
  for (const auto& path : paths) {
    if (convertedInputs_.count(path) || !word::needsConversion(path))
      continue;
    word::ConversionJob job;
    job.input = path;
    job.output = fmt::format("{}/in-{}.docx", batchTemp(), jobs.size() + 1);
    jobs.push_back(std::move(job));
    convertedInputs_[path] = {};
  }
  if (jobs.empty())
    return;
  word::convertFiles(jobs);
  for (const auto& job : jobs) {
    ConvertedInput& in = convertedInputs_[job.input];
    if (job.ok)
      in.docx = job.output;
    else
      in.error = job.error.empty() ? msg::kLibreOfficeCannotConvert : job.error;
  }
}

void clsDoc::openCurrent() {
  curViaLibreOffice_ = false;
  auto it = convertedInputs_.find(curPath_);
  if (it != convertedInputs_.end()) {
    if (!it->second.error.empty())
      throw word::DocumentError(curPath_, "", it->second.error);
    std::unique_ptr<word::Document> doc;
    try {
      doc = word::Document::fromPackage(word::Package::open(it->second.docx), curPath_);
    } catch (const word::DocumentError& e) {
      throw word::DocumentError(curPath_, e.part(),
                                msg::text(msg::kConvertedUnreadable, e.reason()));
    }
    doc->originalFormat = word::lowerExtension(curPath_);
    curDoc_ = &WordApp.adopt(std::move(doc));
    curViaLibreOffice_ = true;
  } else {
    curDoc_ = &WordApp.open(curPath_);
    curViaLibreOffice_ = word::needsConversion(curPath_);
  }
  if (curViaLibreOffice_) {
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

bool clsDoc::runDocument(const std::string& runMode) {
  std::string reason;
  try {
    if (curName_.empty())
      throw word::DocumentError(msg::kFileNameEmpty);
    openCurrent();
    if (auto shortfall =
            memoryShortfall(ActiveDocument().paragraphs().count(), runMode, availableMemory()))
      throw word::DocumentError(curPath_, "", *shortfall);
    HasTables = ActiveDocument().tablesCount() > 0 ? -1 : 0;
    // The census of the source: in the full run after the list numbers became text, which
    // every later step reads as text.
    if (runMode == "0")
      ActiveDocument().convertNumbersToText();
    const Census source = takeCensus(ActiveDocument());
    if (runMode == "0") {
      Selection().wholeStory();
      Selection().clearFormatting();
      cleanText();
      fixPunctuation();
      indentParagraphs();
      formatSignature();
      setupPage();
      formatParagraphs();
      applyFonts();
      setHeaderFooter();
      setColumns();
      applyWatermark();
      formatArticleHeadings();
      formatNumberedHeadings();
    } else if (runMode == "YeMian") {
      setupPage();
    } else if (runMode == "YeMei") {
      setHeaderFooter();
      applyHeaderRule();
    } else if (runMode == "ZiHao") {
      changeFontSizes();
    }
    for (const auto& warning : ActiveDocument().warnings())
      notice("3", warning);
    ActiveDocument().warnings().clear();
    checkIntegrity(source, runMode);
    if (reportFontStandIns_) {
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
  } catch (const StepError& e) {
    reason = e.what();
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
    const bool known =
        runMode == "0" || runMode == "YeMei" || runMode == "YeMian" || runMode == "ZiHao";
    if (!known) {
      sendError(0, msg::text(msg::kEventUnknownMode, runMode));
      sendMessage("101", msg::kEventBatchDone, 0, allNum_, "");
      allNum_ = 0;
      return;
    }
    inBatch_ = true;

    std::vector<std::string> paths;
    for (const auto& name : names) {
      paths.push_back(sourcePath(name));
      struct stat st {};
      if (!name.empty() && ::stat(paths.back().c_str(), &st) == 0) {
        sourceFiles_.push_back(identity(st));
        fs::path folder = fs::path(paths.back()).parent_path();
        if (::stat(folder.empty() ? "." : folder.c_str(), &st) == 0)
          sourceFolders_.push_back(identity(st));
      }
    }
    try {
      convertLegacyInputs(paths);
    } catch (...) {
      // Without the batch conversion every legacy document converts on its own when opened.
      convertedInputs_.clear();
    }

    for (size_t i = 0; i < names.size(); ++i) {
      curNum_ = static_cast<int>(i + 1);
      curPath_ = names[i].empty() ? std::string() : paths[i];
      curName_ = fs::path(names[i]).filename().string();
      sendMessage("0", msg::kEventProcessing, curNum_, allNum_, curName_);
      const bool ok = runDocument(runMode);
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
    if (!batchFonts_.empty()) {
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
