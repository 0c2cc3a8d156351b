#pragma once
// The work behind `quillfold merge`, `quillfold print` and `quillfold printers`: the merge and
// print modules run the commands; these functions show their progress (one line per document,
// or JSON) and the closing message, and give the exit status (typeset_job.h: 0 everything
// done, 1 wrong command line, 2 something failed).

#include <iosfwd>
#include <string>
#include <vector>

namespace quillfold::cli {

struct MergeCommand {
  std::vector<std::string> files; // in the order given; at least two
  std::string out = ".";          // output folder, created when missing
  bool json = false;              // one JSON object per document and a summary object
};

// Merges the files into out/merge<yyyymmddhhmmss>.doc.
int runMerge(const MergeCommand& command, std::ostream& out, std::ostream& err);

struct PrintCommand {
  std::vector<std::string> files; // in the order given
  std::string printer;            // "" = the default printer
  bool wait = false;              // wait until each job has been printed, not only queued
  int timeLimitSeconds = 120;     // per job, with wait
  bool json = false;
};

// Prints the files on the printer.
int runPrint(const PrintCommand& command, std::ostream& out, std::ostream& err);

// Lists the printers, one per line, the default one followed by a tab and "default".
int runPrinters(bool json, std::ostream& out, std::ostream& err);

} // namespace quillfold::cli
