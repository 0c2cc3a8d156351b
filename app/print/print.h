#pragma once
// Document print: each chosen document, in list order, rendered to PDF by LibreOffice (one
// start for the whole batch) and submitted to a CUPS printer as a job titled with the file's
// name. The window (cmd打印) and `quillfold print` both call printDocuments() and show its
// messages; `quillfold printers` and the window's printer list use printers().

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "word/convert.h"

namespace app::print {

// The message for an empty selection (shown in a box titled "提示").
inline constexpr const char* kNothingSelected = msg::kPrintNothingSelected;
inline constexpr const char* kBoxTitle = msg::kMergeBoxTitle;

struct PrinterList {
  std::vector<std::string> names; // CUPS destinations in CUPS's order; "queue/instance"
  std::string defaultName;        // the default destination, "" when there is none
};

// The printers the CUPS scheduler offers. Empty when there are none or it does not answer.
PrinterList printers();

// How long printDocuments waits for each job.
enum class Wait {
  Accepted,  // until the scheduler has taken the job into its queue
  Completed, // until the job has been printed (or was stopped, cancelled or aborted)
};

// One handled document, for the progress bar and the message list.
struct PrintProgress {
  int done = 0;     // documents handled so far (this one included)
  int total = 0;    // documents to print
  std::string file; // this document
  std::string line; // "已打印：a.docx（打印机，任务 7）" or "未能打印：a.docx：<reason>"
  bool ok = false; // its job was accepted (or printed, with Wait::Completed)
};

struct PrintRequest {
  std::vector<std::string> files; // in list order
  std::string printer;            // a destination ("queue" or "queue/instance"); "" = default
  Wait wait = Wait::Accepted;
  std::chrono::milliseconds jobTimeLimit{120'000}; // per job, with Wait::Completed
  // Called once per document, in order, after it was submitted or found unprintable.
  std::function<void(const PrintProgress&)> progress;
  word::ConvertOptions convert =
      word::ConvertOptions::onEveryCore(); // how LibreOffice renders the documents
};

struct PrintFailure {
  std::string file;
  std::string reason;
};

struct PrintResult {
  bool nothingSelected = false;       // no document given; nothing was done
  std::string printer;                // the destination used
  std::string noPrinter;              // why nothing could be printed at all ("" otherwise)
  int printed = 0;                    // documents handed to the printer
  std::vector<int> jobIds;            // their CUPS job ids, in order
  std::vector<PrintFailure> failures; // documents not printed, with the reason
  // The closing box: "打印完毕！", with the number of documents that failed when some did,
  // or why nothing was printed.
  std::string summary() const;
};

// Renders and prints the documents of `request`. A document that cannot be rendered or whose
// job the printer refuses (or, with Wait::Completed, aborts) is reported and the next one goes
// on. Without a printer the default destination is used; without that nothing is printed and
// the result says so. Never throws.
PrintResult printDocuments(const PrintRequest& request);

} // namespace app::print
