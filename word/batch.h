#pragma once
// Opening and saving a batch of documents, paying LibreOffice's start-up once per batch: the
// legacy sources are converted together before the first is opened, and the legacy outputs are
// written as OOXML first and exported together, one LibreOffice start per format, when the
// batch is flushed. No output replaces a source of the batch.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "word/convert.h"
#include "word/filetypes.h"

namespace word {

class Application;
class Document;
class Package;

// One document's output.
struct Output {
  std::string path;   // the file to write; its extension chooses the format (saveFormatFor)
  std::string source; // the file the document was read from ("" when none)
  std::string label;  // how the batch names the document (its file name)
  int number = 0;     // the document's number in the batch
};

// What Batch::save calls on its way, each optional.
struct SaveHooks {
  // Once the output is known not to replace a source, before anything is written, when an
  // earlier document of the batch was saved to the same path: with that document's label.
  std::function<void(const std::string& earlier)> replacing;
  // Before a document that goes out through LibreOffice is made into bytes, with the document.
  std::function<void(Document& doc)> beforeExport;
};

// A legacy output the batch deferred, and what became of it.
struct Export {
  std::string path;  // Output::path
  std::string label; // Output::label
  int number = 0;    // Output::number
  SaveFormat format = SaveFormat::Doc;
  bool written = false;
  std::string error; // why it was not written ("" when it was)
};

class Batch {
public:
  // `app` owns the documents the batch opens and saves; `options` is how LibreOffice is run.
  explicit Batch(Application& app, ConvertOptions options = {});
  // Removes the temporary folder with everything still in it. Outputs not flushed are lost.
  ~Batch();
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

  // ---- sources ----
  // The sources of the batch ("" entries are skipped): no output replaces one of them or a file
  // of their folders (see save). Those LibreOffice must read (needsConversion) are converted to
  // OOXML now, in one start for all; each path once. When the conversion cannot even be
  // prepared (no temporary folder), each such source converts on its own when opened.
  void addSources(const std::vector<std::string>& paths);
  // Makes `paths` sources of the batch for the rule of save() without converting any: the
  // sources of a larger batch whose other documents other processes open and save.
  void protectSources(const std::vector<std::string>& paths);
  // A folder whose files no output replaces (the folder the batch's names are relative to).
  // "" is ignored.
  void addSourceFolder(const std::string& path);
  // Opens `path`: from its converted copy when addSources converted it, else as
  // Application::open does. The document becomes the application's active one. Throws
  // DocumentError naming the file: LibreOffice's reason when the conversion failed;
  // kConvertedUnreadable around the reader's when the converted copy cannot be read.
  Document& open(const std::string& path);

  // ---- outputs ----
  // Saves `doc` to `out.path` in the format saveFormatFor gives it, after refusing (DocumentError
  // naming the output) a path that would replace: a source of the batch or `out.source`; any
  // existing file of their folders or of the source folders (the output folder being one, a
  // symbolic link to such a file, a hard link of a file of the folder of `out.source` or of a
  // source folder). The entry at the path is replaced, never written through.
  // The document is closed (dropped from the application) whatever happens: once its bytes are
  // made, before the written file is read back through the model, so that a large one is never
  // in memory twice; on a refusal or a failure before that, when save() is left.
  // OOXML is written at once; a legacy format is written as OOXML into the temporary folder and
  // exported by flush(). Returns true when the output waits for flush(). Throws DocumentError;
  // nothing is then written at the path.
  bool save(Document& doc, const Output& out, const SaveHooks& hooks = {});
  // How flush() hands over a written output read back through LibreOffice: `index` is its
  // place among the deferred outputs, `back` the package read back (null when it could not be
  // read, `failure` then says why).
  using ReadBack = std::function<void(size_t index, const Export& output, Package* back,
                                      const std::string& failure)>;
  // Exports the deferred outputs, one LibreOffice start per format, each atomically into place.
  // With `readBack`, the written ones are then read back through LibreOffice (one start) and
  // handed over one at a time. Returns one result per deferred output, in the order save()
  // deferred them, and forgets them. A failed export is reported in its result, not thrown.
  std::vector<Export> flush(const ReadBack& readBack = {});

  // The batch's private temporary folder, made on first use. Throws DocumentError when it
  // cannot be made.
  const std::string& temporaryFolder();

private:
  using FileId = std::pair<uint64_t, uint64_t>; // device, inode
  struct Converted {
    std::string docx;  // the converted copy in the temporary folder
    std::string error; // why the conversion failed; "" when it worked
  };
  struct Deferred {
    std::string docx; // the OOXML written for LibreOffice
    Export result;
  };
  // The options of the batch's conversions, with the folder where they keep profiles and the
  // batch's kept office.
  ConvertOptions conversionOptions();
  // Throws DocumentError when `out.path` would replace a source (see save).
  void refuseSource(const Output& out) const;

  Application& app_;
  ConvertOptions options_;
  std::string temp_;
  KeptOffice office_; // LibreOffice kept running for the batch's later conversions
  std::map<std::string, Converted> converted_; // by source path
  std::vector<FileId> sourceFiles_, sourceFolders_;
  std::set<std::string> protectedPaths_, protectedFolders_; // looked at by protectSources
  std::vector<std::string> folders_;                        // addSourceFolder
  std::vector<Deferred> deferred_;                          // waiting for flush()
  std::map<std::string, std::string> written_;              // output path -> label
};

} // namespace word
