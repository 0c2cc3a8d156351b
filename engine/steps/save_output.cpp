// Output saving: the typeset document goes into the output folder under its source's name
// (".txt" becomes ".doc"), in the format its extension names (word::saveFormatFor), and is
// closed.
//
// The batch (word::Batch) writes OOXML outputs at once, atomically, and defers outputs in a
// legacy format (.doc, .rtf, .odt, .wps) to one LibreOffice call per format after the last
// document. It refuses an output that would replace a source of the batch or any file of a
// source folder.

#include <filesystem>

#include "word/filetypes.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "engine/clsdoc.h"

namespace fs = std::filesystem;

namespace engine {

std::string clsDoc::outputName(const std::string& fileName) {
  return word::outputNameFor(fileName);
}

void clsDoc::saveOutput() {
  word::Document& doc = ActiveDocument();
  const std::string& outDir = property("DocOutLocation");
  if (outDir.empty())
    throw word::DocumentError(msg::kSaveNoOutputFolder);
  std::error_code ec;
  // A file where the folder should be is named as such, not by the system's error number.
  if (fs::exists(outDir, ec) && !fs::is_directory(outDir, ec))
    throw word::DocumentError(
        msg::text(msg::kSaveCannotMakeFolder, outDir, msg::kSaveFolderIsFile));
  fs::create_directories(outDir, ec);
  if (ec || !fs::is_directory(outDir))
    throw word::DocumentError(
        msg::text(msg::kSaveCannotMakeFolder, outDir,
                  ec ? msg::systemError(ec.value()) : std::string(msg::kSaveFolderIsFile)));
  WordApp.changeFileOpenDirectory(outDir);

  const std::string source = curPath_.empty() ? doc.fullName() : curPath_;
  const std::string name =
      curName_.empty() ? fs::path(doc.fullName()).filename().string() : curName_;
  const std::string outName = outputName(name);
  if (outName.empty())
    throw word::DocumentError(msg::kSaveNoOutputName);
  const fs::path target = fs::path(outDir) / outName;

  word::Output output{target.string(), source, name, curNum_};
  word::SaveHooks hooks;
  hooks.replacing = [&](const std::string& earlier) {
    notice("3", msg::text(msg::kSaveSameOutputName, outName, earlier));
  };
  // What LibreOffice is given is what its read-back is compared with.
  hooks.beforeExport = [&](word::Document& d) {
    word::writeFillInAsFormText(d);
    curCensus_ = takeCensus(d);
  };
  word::Batch& saving = batch();
  // The batch closes the document whatever happens.
  if (curDoc_ == &doc)
    curDoc_ = nullptr;
  if (saving.save(doc, output, hooks)) {
    deferredCensus_.push_back(curCensus_);
    if (!inBatch_)
      finishLegacyOutputs();
  }
}

void clsDoc::finishLegacyOutputs() {
  if (!batch_)
    return;
  const std::vector<word::Export> results = batch_->flush(
      [this](size_t i, const word::Export& out, word::Package* back, const std::string& failure) {
        checkLegacyOutput(deferredCensus_.at(i), out, back, failure);
      });
  deferredCensus_.clear();
  std::string firstFailure;
  for (const word::Export& out : results) {
    if (out.written)
      continue;
    if (inBatch_)
      sendError(out.number, msg::text(msg::kSaveFailed, out.label, out.error));
    else if (firstFailure.empty())
      firstFailure = msg::text(msg::kSaveCannotSave, out.path, out.error);
  }
  if (!inBatch_) {
    batch_.reset();
    if (!firstFailure.empty())
      throw word::DocumentError(firstFailure);
  }
}

} // namespace engine
