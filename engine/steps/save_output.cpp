// Output saving: the typeset document goes into the output folder under its source's name
// (".txt" becomes ".doc"), in the format its extension names, and is closed.
//
// OOXML outputs are written at once, atomically. Outputs in a legacy format (.doc, .rtf, .odt,
// .wps) are written as .docx into the batch's temporary folder and converted by LibreOffice
// together after the last document, so a batch pays LibreOffice's start-up once per format.
// A source file is never replaced: an output that resolves to a source of the batch, or to any
// file of a source folder (through the folder itself, a symbolic link or a hard link), is
// refused; and saving replaces the output folder's entry, it never writes through a link.

#include <sys/stat.h>

#include <filesystem>

#include <fmt/format.h>

#include "base/interrupt.h"
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

namespace {

using FileId = std::pair<uint64_t, uint64_t>; // device, inode

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

} // namespace

void clsDoc::saveOutput() {
  word::Document& doc = ActiveDocument();
  const std::string& outDir = property("DocOutLocation");
  if (outDir.empty())
    throw StepError(msg::kSaveNoOutputFolder);
  std::error_code ec;
  // A file where the folder should be is named as such, not by the system's error number.
  if (fs::exists(outDir, ec) && !fs::is_directory(outDir, ec))
    throw StepError(msg::text(msg::kSaveCannotMakeFolder, outDir, msg::kSaveFolderIsFile));
  fs::create_directories(outDir, ec);
  if (ec || !fs::is_directory(outDir))
    throw StepError(
        msg::text(msg::kSaveCannotMakeFolder, outDir,
                  ec ? msg::systemError(ec.value()) : std::string(msg::kSaveFolderIsFile)));
  WordApp.changeFileOpenDirectory(outDir);

  const std::string source = curPath_.empty() ? doc.fullName() : curPath_;
  const std::string name =
      curName_.empty() ? fs::path(doc.fullName()).filename().string() : curName_;
  const std::string outName = outputName(name);
  if (outName.empty())
    throw StepError(msg::kSaveNoOutputName);
  const fs::path target = fs::path(outDir) / outName;

  // Never over a source: the batch's sources and this document's own, and no file of a source
  // folder however the output's name reaches it - the output folder being a source folder, a
  // symbolic link to such a file, a hard link of one. (Saving replaces the entry and never
  // writes through a link, but a link there is a sign the user did not mean to lose the file.)
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    const FileId id(st.st_dev, st.st_ino);
    auto sources = sourceFiles_;
    auto folders = sourceFolders_;
    std::vector<fs::path> folderPaths;
    if (const std::string& docPath = property("DocPath"); !docPath.empty())
      folderPaths.emplace_back(docPath);
    struct stat s2 {};
    if (!source.empty() && ::stat(source.c_str(), &s2) == 0) {
      sources.emplace_back(s2.st_dev, s2.st_ino);
      fs::path parent = fs::path(source).parent_path();
      if (parent.empty())
        parent = ".";
      folderPaths.push_back(parent);
      if (::stat(parent.c_str(), &s2) == 0)
        folders.emplace_back(s2.st_dev, s2.st_ino);
    }
    for (const fs::path& f : folderPaths)
      if (::stat(f.c_str(), &s2) == 0)
        folders.emplace_back(s2.st_dev, s2.st_ino);
    auto inFolders = [&](const fs::path& folder) {
      struct stat d {};
      return ::stat(folder.empty() ? "." : folder.c_str(), &d) == 0 &&
             std::find(folders.begin(), folders.end(), FileId(d.st_dev, d.st_ino)) != folders.end();
    };
    if (std::find(sources.begin(), sources.end(), id) != sources.end())
      throw StepError(msg::text(msg::kSaveOutputIsSource, target.string()));
    if (inFolders(target.parent_path()))
      throw StepError(msg::text(msg::kSaveOutputInSourceFolder, outName));
    const fs::path resolved = fs::canonical(target, ec);
    if (!ec && inFolders(resolved.parent_path()))
      throw StepError(
          msg::text(msg::kSaveOutputIsSourceFolderFile, target.string(), resolved.string()));
    if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
      for (const fs::path& f : folderPaths) {
        std::string twin = fileOfFolder(f, id);
        if (!twin.empty())
          throw StepError(msg::text(msg::kSaveOutputIsSourceFolderFile, target.string(), twin));
      }
    }
  }

  const std::string key = target.lexically_normal().string();
  if (auto it = outputsWritten_.find(key); it != outputsWritten_.end())
    notice("3", msg::text(msg::kSaveSameOutputName, outName, it->second));

  const OutputFormat format = outputFormat(outName, curViaLibreOffice_);
  // The document is closed once its bytes are made, before the written file is read back
  // through the model: a large document is never in memory twice.
  if (!format.native) {
    word::writeFillInAsFormText(doc);
    curCensus_ = takeCensus(doc); // the read-back is compared with what LibreOffice is given
  }
  std::string bytes = doc.saveToString();
  WordApp.close(doc);
  if (curDoc_ == &doc)
    curDoc_ = nullptr;
  if (format.native) {
    word::Document::savePackageBytes(target.string(), bytes);
    base::interrupt::noteFinished(target.string());
  } else {
    const std::string docx =
        fmt::format("{}/out-{}-{}.docx", batchTemp(), curNum_, pendingOutputs_.size() + 1);
    word::Document::savePackageBytes(docx, bytes);
    pendingOutputs_.push_back({docx, target.string(), format.format, name, curNum_, curCensus_});
    if (!inBatch_)
      finishLegacyOutputs();
  }
  outputsWritten_[key] = name;
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
  std::vector<bool> written;
  for (const auto& job : jobs)
    written.push_back(job.ok);
  checkLegacyOutputs(pending, written);
  std::string firstFailure;
  for (size_t i = 0; i < jobs.size(); ++i) {
    std::error_code ec;
    fs::remove(pending[i].docx, ec);
    if (jobs[i].ok) {
      base::interrupt::noteFinished(pending[i].target);
      continue;
    }
    const std::string reason = jobs[i].error.empty() ? msg::kConvertCouldNotWrite : jobs[i].error;
    if (inBatch_)
      sendError(pending[i].num, msg::text(msg::kSaveFailed, pending[i].name, reason));
    else if (firstFailure.empty())
      firstFailure = msg::text(msg::kSaveCannotSave, pending[i].target, reason);
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
