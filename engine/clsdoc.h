#pragma once
// The typesetting engine: one object holding a complete set of settings (text properties),
// that opens each named document, runs the typesetting steps on it, saves the result into the
// output folder and reports through IQuillfoldEvents.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "engine/integrity.h"
#include "engine/settings.h"
#include "word/batch.h"
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
  // DocFileName, DocOutLocation. The properties of the standard run
  // (engine::standard::properties()) are accepted as well, with their defaults until set.
  static const std::vector<std::string>& propertyNames();
  // Sets / reads a property by name. Throws std::invalid_argument for an unknown name.
  void setProperty(const std::string& name, const std::string& value);
  const std::string& property(const std::string& name) const;
  // The settings among the properties, typed; each is read from its text when asked for.
  const Settings& settings() const { return settings_; }
  // The names to process, bypassing DocFileName's "," joining (names may then contain ",").
  // An empty list means: split DocFileName.
  void setDocFiles(std::vector<std::string> names);
  // The names (as setDocFiles takes them) of the whole batch when this object runs a part of
  // it and other engines run the rest: no output replaces any of their sources either. Empty
  // (the default): the batch is whole.
  void setWholeBatch(std::vector<std::string> names) { wholeBatch_ = std::move(names); }

  void SetEventSink(IQuillfoldEvents* sink);
  // When on, a batch whose outputs ask for official Chinese fonts that are not installed ends
  // with one notice (msgId "3", document number 0) naming the faces that stand in for them.
  void setReportFontStandIns(bool on) { reportFontStandIns_ = on; }
  // When on, each batch gathers the font names its outputs ask for (batchFonts()) without that
  // notice: for a caller that runs a batch in parts and gives one notice for the whole.
  void setGatherFonts(bool on) { gatherFonts_ = on; }
  // The font names the outputs of the last batch asked for (gathered while stand-ins are
  // reported or fonts gathered).
  const std::set<std::string>& batchFonts() const { return batchFonts_; }
  // Runs the batch in `runMode` ("0", "YeMei", "YeMian", "ZiHao", or "Standard": the layout of
  // the national standard for official documents, engine/standard/). Never throws.
  void Main(const std::string& runMode);

private:
  // One source file per step, in engine/steps/.
  void clearFormatting();
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
  // The "Standard" run (engine/standard/): the text as the standard writes it (before the
  // census), then the layout.
  void standardText();
  void standardLayout();

  // A run mode: the steps a document goes through, in order.
  using Step = void (clsDoc::*)();
  struct RunMode {
    std::string name; // as Main takes it
    // The list numbers become text before the source's census is taken (every later step
    // reads them as text).
    bool numbersAsText = false;
    std::vector<Step> steps;
    // Steps that rewrite text as the run intends, before the census (so the comparison with
    // the output does not take their changes for losses).
    std::vector<Step> textSteps = {};
  };
  // The run mode called `name`, or null for an unknown name.
  static const RunMode* findRunMode(const std::string& name);

  // The document being run; throws DocumentError when none is open (a step called out of turn).
  word::Document& ActiveDocument() {
    if (!WordApp.activeDocument())
      throw word::DocumentError(msg::kNoDocumentOpen);
    return *WordApp.activeDocument();
  }
  word::Selection& Selection() { return WordApp.selection(); }

  word::Application WordApp;

  std::map<std::string, std::string> props_;
  Settings settings_{props_};
  std::vector<std::string> docFiles_;
  std::vector<std::string> wholeBatch_;
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
  // Opens curPath_ through the batch (from its converted copy when there is one) and makes it
  // active.
  void openCurrent();
  // Runs the current document in `mode`; false when it failed (Error already sent).
  bool runDocument(const RunMode& mode);
  void closeCurrent();
  // ---- the integrity check (integrity.cpp) ----
  // Compares the document as it is now with `source`, the census taken when it was opened,
  // and warns ("3") about every difference the run `runMode` and the settings do not intend.
  // Keeps no census: a legacy output's check takes its own before the export (curCensus_).
  void checkIntegrity(const Census& source, const std::string& runMode);
  // The changes that the run `runMode` and the settings intend.
  IntendedChanges intendedChanges(const std::string& runMode) const;
  // Compares a legacy output read back through LibreOffice (`back`, null when it could not be
  // read: `failure` says why) with `census`, the census of what LibreOffice was given, and
  // warns about what it lost.
  void checkLegacyOutput(const Census& census, const word::Export& output, word::Package* back,
                         const std::string& failure);
  Census curCensus_; // the census of the document being saved
  void endBatch();

  // The batch's opening and saving (sources converted ahead, legacy outputs deferred), made on
  // first use with DocPath as its source folder; endBatch() ends it.
  word::Batch& batch();
  std::unique_ptr<word::Batch> batch_;
  word::Document* curDoc_ = nullptr; // the open document of the current name, or null
  int curNum_ = 0, allNum_ = 0;
  bool inBatch_ = false;
  bool reportFontStandIns_ = false;
  bool gatherFonts_ = false;
  std::set<std::string> batchFonts_; // font names the batch's outputs ask for

  // ---- output saving (steps/save_output.cpp) ----
  // The output name of a source name: ".txt" (any case) becomes ".doc", others stay.
  static std::string outputName(const std::string& fileName);
  // The census of each legacy output the batch deferred, in the batch's order.
  std::vector<Census> deferredCensus_;
  // Exports the deferred legacy outputs (one LibreOffice call per format), checks what they
  // lost, and sends Error with the document's number for each that failed.
  void finishLegacyOutputs();
  friend struct EngineAccess; // tests reach the steps through this
};

} // namespace engine
