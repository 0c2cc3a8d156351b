// Output saving: the typeset document goes into the output folder under its source's name
// (".txt" becomes ".doc"), in the format its extension names, and is closed.
//
// OOXML outputs are written at once, atomically. Outputs in a legacy format (.doc, .rtf, .odt,
// .wps) are written as .docx into the batch's temporary folder and converted by LibreOffice
// together after the last document, so a batch pays LibreOffice's start-up once per format.
// A source file is never replaced: an output that resolves to a source of the batch, or that
// would replace an existing file in a source folder, is refused.

#include <sys/stat.h>

#include <filesystem>

#include <fmt/format.h>

#include "base/messages.h"
#include "base/system_error.h"
#include "engine/clsdoc.h"
#include "word/convert.h"

namespace fs = std::filesystem;

namespace engine {

namespace {

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// How an output is written: natively as OOXML, or by LibreOffice in `format` ("doc", "rtf",
// "odt").
struct OutputFormat {
  bool native = true;
  std::string format;
};

OutputFormat outputFormat(const std::string& outName, bool sourceViaLibreOffice) {
  const std::string ext = lower(fs::path(outName).extension().string());
  if (ext == ".docx" || ext == ".docm" || ext == ".dotx" || ext == ".dotm")
    return {true, ""};
  // LibreOffice writes no WPS format: Word 97-2003 content, which WPS opens, keeps the name.
  if (ext == ".doc" || ext == ".dot" || ext == ".wps" || ext == ".wpt")
    return {false, "doc"};
  if (ext == ".rtf")
    return {false, "rtf"};
  if (ext == ".odt" || ext == ".ott")
    return {false, "odt"};
  // An unknown extension keeps the family the source came in: Word 97-2003 for what LibreOffice
  // read, OOXML for a package read natively.
  return sourceViaLibreOffice ? OutputFormat{false, "doc"} : OutputFormat{true, ""};
}

} // namespace

std::string clsDoc::outputName(const std::string& fileName) {
  if (fileName.size() >= 4 && lower(fileName.substr(fileName.size() - 4)) == ".txt")
    return fileName.substr(0, fileName.size() - 4) + ".doc";
  return fileName;
}

void clsDoc::saveOutput() {
  word::Document& doc = ActiveDocument();
  const std::string& outDir = property("DocOutLocation");
  if (outDir.empty())
    throw StepError(msg::kNoOutputFolder);
  std::error_code ec;
  // A file where the folder should be is named as such, not by the system's error number.
  if (fs::exists(outDir, ec) && !fs::is_directory(outDir, ec))
    throw StepError(msg::text(msg::kOutputFolderCannotCreate, outDir, msg::kOutputFolderIsFile));
  fs::create_directories(outDir, ec);
  if (ec || !fs::is_directory(outDir))
    throw StepError(msg::text(msg::kOutputFolderCannotCreate, outDir,
                              ec ? msg::systemError(ec.value()) : msg::kOutputFolderIsFile));
  WordApp.changeFileOpenDirectory(outDir);

  const std::string source = curPath_.empty() ? doc.fullName() : curPath_;
  const std::string name =
      curName_.empty() ? fs::path(doc.fullName()).filename().string() : curName_;
  const std::string outName = outputName(name);
  if (outName.empty())
    throw StepError(msg::kNoOutputName);
  const fs::path target = fs::path(outDir) / outName;

  // Never over a source: the batch's sources and this document's own, and no existing file of
  // a source folder (it may be a source that is not in this batch).
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    auto id = std::pair<uint64_t, uint64_t>(st.st_dev, st.st_ino);
    auto sources = sourceFiles_;
    auto folders = sourceFolders_;
    struct stat s2 {};
    if (!source.empty() && ::stat(source.c_str(), &s2) == 0) {
      sources.emplace_back(s2.st_dev, s2.st_ino);
      fs::path parent = fs::path(source).parent_path();
      if (::stat(parent.empty() ? "." : parent.c_str(), &s2) == 0)
        folders.emplace_back(s2.st_dev, s2.st_ino);
    }
    if (std::find(sources.begin(), sources.end(), id) != sources.end())
      throw StepError(msg::text(msg::kOutputIsSource, target.string()));
    if (::stat(target.parent_path().c_str(), &s2) == 0 &&
        std::find(folders.begin(), folders.end(),
                  std::pair<uint64_t, uint64_t>(s2.st_dev, s2.st_ino)) != folders.end())
      throw StepError(msg::text(msg::kOutputInSourceFolder, outName));
  }

  const std::string key = target.lexically_normal().string();
  if (auto it = outputsWritten_.find(key); it != outputsWritten_.end())
    notice("3", msg::text(msg::kEventSameOutputName, outName, it->second));

  const OutputFormat format = outputFormat(outName, curViaLibreOffice_);
  if (format.native) {
    doc.package().save(target.string());
  } else {
    const std::string docx =
        fmt::format("{}/out-{}-{}.docx", batchTemp(), curNum_, pendingOutputs_.size() + 1);
    doc.package().save(docx);
    pendingOutputs_.push_back({docx, target.string(), format.format, name, curNum_});
    if (!inBatch_)
      finishLegacyOutputs();
  }
  outputsWritten_[key] = name;

  WordApp.close(doc);
  if (curDoc_ == &doc)
    curDoc_ = nullptr;
}

void clsDoc::finishLegacyOutputs() {
  if (pendingOutputs_.empty())
    return;
  std::vector<PendingOutput> pending;
  pending.swap(pendingOutputs_);
  std::vector<word::ConversionJob> jobs(pending.size());
  for (size_t i = 0; i < pending.size(); ++i) {
    jobs[i].input = pending[i].docx;
    jobs[i].output = pending[i].target;
    jobs[i].format = pending[i].format;
  }
  word::convertFiles(jobs);
  std::string firstFailure;
  for (size_t i = 0; i < jobs.size(); ++i) {
    std::error_code ec;
    fs::remove(pending[i].docx, ec);
    if (jobs[i].ok)
      continue;
    const std::string reason = jobs[i].error.empty() ? msg::kLibreOfficeCannotWrite : jobs[i].error;
    if (inBatch_)
      sendError(pending[i].num, msg::text(msg::kEventSaveFailed, pending[i].name, reason));
    else if (firstFailure.empty())
      firstFailure = msg::text(msg::kCannotSave, pending[i].target, reason);
  }
  if (!inBatch_) {
    std::error_code ec;
    fs::remove_all(batchTemp_, ec);
    batchTemp_.clear();
    if (!firstFailure.empty())
      throw StepError(firstFailure);
  }
}

} // namespace engine
