#pragma once
// The work behind `quillfold typeset`: gathering the documents, loading setup.ini into the
// engine, running the batch and showing its events (progress bar, lines or JSON), and the exit
// status. main() only parses the command line and calls runTypeset().

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/cli/common.h"
#include "engine/clsdoc.h"

namespace quillfold::cli {

enum class OutputStyle {
  Lines,       // one line per event (pipes, logs)
  ProgressBar, // a progress bar with the current file (terminals)
  Json,        // one JSON object per event, then a summary object
};

struct TypesetRequest {
  std::vector<std::string> files; // documents named one by one
  std::string dir;                // or: every document of this folder (not its subfolders)
  std::string filter;             // with dir: only names containing this text
  std::vector<std::string> exts;  // with dir: only these extensions ("doc", ".TXT"…)
  std::string out = "quillfold-out";
  std::string mode = "full";      // full | header | page | size | standard
  std::filesystem::path settings; // setup.ini; empty = settings::defaultSettingsPath()
  OutputStyle style = OutputStyle::Lines;
  int terminalWidth = 0; // ProgressBar: columns to fill (0 = 80)
  bool pdf = false;      // also a PDF beside each output
  // Engine servers to run the batch on at once: 0 means app::EnginePool::defaultJobs(); never
  // more than there are documents.
  std::size_t jobs = 0;
  // The engine server program; empty: quillfold-engine beside this program, else the build
  // tree's, else on PATH (enginePath()).
  std::string enginePath;
};

// The most engine servers a batch runs on at once (each with its own LibreOffice, some hundred
// megabytes each): more would only make the machine swap.
inline constexpr std::size_t kMaxJobs = 64;

// The engine server program the command line runs: quillfold-engine beside the program, else
// the one of the build tree the program was built in, else the first on PATH; "" when none.
std::string enginePath();

// The engine's run mode for a --mode word: full "0", header "YeMei", page "YeMian",
// size "ZiHao", standard "Standard". Nothing for other words.
std::optional<std::string> runModeFor(std::string_view mode);

// Extensions taken from a folder when --ext is not given.
const std::vector<std::string>& defaultExtensions();

// The documents of a batch as the engine takes them: a source folder and names in it. Files of
// one folder become that folder and their bare names; files from several folders keep their
// paths, and the folder is empty.
struct BatchInput {
  std::string docPath;
  std::vector<std::string> names;
};

// Gathers the documents of `request`: its files in the order given, or the regular files of
// its folder whose extension is wanted and whose name contains the filter, sorted by name
// (hidden files and Word's "~$" owner files left out). Throws UsageError for a request that
// names both files and a folder, neither, a folder that cannot be listed, --filter/--ext
// without --dir, or a folder with no matching documents.
BatchInput gatherInputs(const TypesetRequest& request);

// What became of one document, gathered from the events.
struct DocumentOutcome {
  std::string name;
  bool started = false, ended = false, failed = false;
  std::vector<std::string> notes;    // Message "2"
  std::vector<std::string> warnings; // Message "3"
  std::vector<std::string> errors;   // Error
};

struct BatchReport {
  std::vector<DocumentOutcome> documents; // by number (1 = first)
  std::vector<std::string> batchErrors;   // Error not tied to a document (errId 0)
  bool finished = false;                  // Message "101" arrived
  int failedCount() const;
  int warningCount() const; // documents with warnings that did not fail
  int doneCount() const;    // documents that did not fail
  // 2 when a document failed or the batch had an error, else 3 with warnings, else 0.
  int exitStatus() const;
};

// The event sink of the command: keeps a BatchReport and shows each event in `style` on
// `out` (errors of the Lines and ProgressBar styles on `err`).
class EventPrinter : public engine::IQuillfoldEvents {
public:
  EventPrinter(OutputStyle style, std::ostream& out, std::ostream& err, int terminalWidth = 0);
  void Error(int32_t errId, const std::string& errMsg) override;
  void Message(const std::string& msgId, const std::string& msg, const std::string& curDocNum,
               const std::string& allDocNum, const std::string& docName) override;
  // Prints the closing summary (text or JSON) naming the output folder.
  void summary(const std::string& outputFolder);
  const BatchReport& report() const { return report_; }

private:
  DocumentOutcome* document(long number);
  void clearBar();
  void drawBar();
  OutputStyle style_;
  std::ostream& out_;
  std::ostream& err_;
  int width_;
  BatchReport report_;
  long cur_ = 0, all_ = 0, done_ = 0;
  std::string current_;
  bool barShown_ = false;
};

// The whole command: gathers the documents, reloads the settings file (the 46 settings and
// those of the standard run), runs the batch on request.jobs engine servers (app::EnginePool, as
// the window does) with an EventPrinter and prints the summary. Returns the exit status; usage
// errors are printed on `err` as "quillfold：…" and give kExitUsage. Every output a server
// writes whole is noted for the report of an interrupt (base::interrupt).
int runTypeset(const TypesetRequest& request, std::ostream& out, std::ostream& err);

// Number of terminal columns a UTF-8 text takes (East Asian wide characters count 2).
int displayWidth(std::string_view utf8);
// `utf8` cut to at most `columns` terminal columns, with "…" when something was cut.
std::string fitWidth(std::string_view utf8, int columns);

} // namespace quillfold::cli
