#pragma once
// The typesetting engine: one object holding a complete set of settings (text properties),
// that opens each named document, runs the typesetting steps on it, saves the result into the
// output folder and reports through IQuillfoldEvents.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "engine/integrity.h"
#include "word/document.h"
#include "word/error.h"

namespace engine {

// The caller's event sink. Implementations must not throw.
class IQuillfoldEvents {
public:
  virtual ~IQuillfoldEvents() = default;
  // A failure; errMsg names the document and says what went wrong.
  virtual void Error(int32_t errId, const std::string& errMsg) = 0;
  // Progress and notices: msgId "0" (a document's run begins), "2"/"3" (a notice about one
  // document), "100" (a document's run ended), "101" (the batch ended). curDocNum and
  // allDocNum are decimal numbers as text; docName is the bare file name.
  virtual void Message(const std::string& msgId, const std::string& msg,
                       const std::string& curDocNum, const std::string& allDocNum,
                       const std::string& docName) = 0;
};

class clsDoc {
public:
  clsDoc();
  ~clsDoc();

  // The 49 properties in interface order: the 46 settings (Chinese names) then DocPath,
  // DocFileName, DocOutLocation.
  static const std::vector<std::string>& propertyNames();
  // Sets / reads a property by name. Throws std::invalid_argument for an unknown name.
  void setProperty(const std::string& name, const std::string& value);
  const std::string& property(const std::string& name) const;
  // The names to process, bypassing DocFileName's "," joining (names may then contain ",").
  // An empty list means: split DocFileName.
  void setDocFiles(std::vector<std::string> names);

  void SetEventSink(IQuillfoldEvents* sink);
  // When on, a batch whose outputs ask for official Chinese fonts that are not installed ends
  // with one notice (msgId "3", document number 0) naming the faces that stand in for them.
  void setReportFontStandIns(bool on) { reportFontStandIns_ = on; }
  // Runs the batch in `runMode` ("0", "YeMei", "YeMian" or "ZiHao"). Never throws.
  void Main(const std::string& runMode);

  // Switch test used by every step: off only for exactly "0".
  bool isOn(const std::string& name) const { return property(name) != "0"; }
  // A setting read as a number ("." decimal separator, whatever the locale). Throws
  // word::DocumentError naming the setting and the text when it is not a number.
  float number(const std::string& name) const;
  // A font size setting in points: a number from 1 to 1638, as Word accepts. Throws
  // word::DocumentError naming the setting otherwise (a size Word would refuse is not silently
  // clamped).
  float fontSize(const std::string& name) const;

private:
  // One source file per step, in engine/steps/.
  void cleanText();
  void fixPunctuation();
  void indentParagraphs();
  void formatSignature();
  void setupPage();
  void formatParagraphs();
  void applyFonts();
  void setHeaderFooter();
  void setColumns();
  void applyWatermark();
  void applyHeaderRule(); // the header rule part of applyWatermark (used by "YeMei")
  void formatArticleHeadings();
  void formatNumberedHeadings();
  void saveOutput();
  void changeFontSizes(); // the "ZiHao" run

  // The document being run; throws DocumentError when none is open (a step called out of turn).
  word::Document& ActiveDocument() {
    if (!WordApp.activeDocument())
      throw word::DocumentError(msg::kNoDocumentOpen);
    return *WordApp.activeDocument();
  }
  word::Selection& Selection() { return WordApp.selection(); }

  word::Application WordApp;
  int16_t HasTables = 0; // -1 when the open document has tables
  word::Paragraph CurPara;
  word::Range CurRange;
  int16_t ChapterFlag = 0;

  std::map<std::string, std::string> props_;
  std::vector<std::string> docFiles_;
  IQuillfoldEvents* sink_ = nullptr;
  std::string curName_; // bare name of the document being run
  std::string curPath_; // its full path

  // ---- the batch (clsdoc.cpp) ----
  // A notice about the current document: msgId "2" (information) or "3" (a warning).
  void notice(const std::string& msgId, const std::string& text);
  void sendMessage(const std::string& msgId, const std::string& msg, int cur, int all,
                   const std::string& docName);
  void sendError(int32_t errId, const std::string& errMsg);
  // The names of the batch: docFiles_, else DocFileName split at ",".
  std::vector<std::string> batchNames() const;
  // Full path of a name: DocPath joined with it (an absolute name stands for itself).
  std::string sourcePath(const std::string& name) const;
  // Converts every legacy input of the batch to OOXML in one LibreOffice call.
  void convertLegacyInputs(const std::vector<std::string>& paths);
  // Opens curPath_ (from its converted copy when there is one) and makes it active.
  void openCurrent();
  // Runs the current document in `runMode`; false when it failed (Error already sent).
  bool runDocument(const std::string& runMode);
  void closeCurrent();
  // ---- the integrity check (integrity.cpp) ----
  // Compares the document as it is now with `source`, the census taken when it was opened,
  // and warns ("3") about every difference the run `runMode` and the settings do not intend.
  // Keeps the census for the legacy output's check (curCensus_).
  void checkIntegrity(const Census& source, const std::string& runMode);
  // The changes that the run `runMode` and the settings intend.
  IntendedChanges intendedChanges(const std::string& runMode) const;
  // Reads the legacy outputs that were written (`written[i]` for outputs[i]) back through
  // LibreOffice and warns about what they lost.
  struct PendingOutput;
  void checkLegacyOutputs(const std::vector<PendingOutput>& outputs,
                          const std::vector<bool>& written);
  Census curCensus_; // the census of the document being saved
  // The batch's private temporary folder, made on first use.
  const std::string& batchTemp();
  void endBatch();

  struct ConvertedInput {
    std::string docx;  // converted copy in batchTemp()
    std::string error; // why the conversion failed; empty when it worked
  };
  std::map<std::string, ConvertedInput> convertedInputs_; // by source path
  word::Document* curDoc_ = nullptr; // the open document of the current name, or null
  bool curViaLibreOffice_ = false;   // it was read through LibreOffice (a legacy format)
  int curNum_ = 0, allNum_ = 0;
  std::string batchTemp_;
  bool inBatch_ = false;
  bool reportFontStandIns_ = false;
  std::set<std::string> batchFonts_; // font names the batch's outputs ask for
  // Identities (device, inode) of the batch's sources and of their folders: outputs never
  // replace them.
  std::vector<std::pair<uint64_t, uint64_t>> sourceFiles_, sourceFolders_;

  // ---- output saving (steps/save_output.cpp) ----
  // The output name of a source name: ".txt" (any case) becomes ".doc", others stay.
  static std::string outputName(const std::string& fileName);
  // A .docx waiting in batchTemp() to be converted into a legacy output after the batch.
  struct PendingOutput {
    std::string docx, target, format, name;
    int num = 0;
    Census census; // of the document written to `docx`
  };
  std::vector<PendingOutput> pendingOutputs_;
  std::map<std::string, std::string> outputsWritten_; // output path -> source name
  // Converts the pending legacy outputs in one LibreOffice call per format; failures go to
  // Error with the document's number.
  void finishLegacyOutputs();
  friend struct EngineAccess; // tests reach the steps through this
};

} // namespace engine
