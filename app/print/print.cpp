#include "app/print/print.h"

#include <cups/cups.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fmt/format.h>

#include "base/interrupt.h"
#include "base/messages.h"
#include "base/temp_folder.h"
#include "word/error.h"
#include "word/filetypes.h"
#include "word/package.h"
#include "word/textimport.h"

namespace fs = std::filesystem;

namespace app::print {

namespace {

std::string fileName(const std::string& path) {
  return fs::path(path).filename().string();
}

bool startsWithPdf(const std::string& path) {
  char magic[5] = {};
  std::ifstream in(path, std::ios::binary);
  in.read(magic, sizeof magic);
  return std::string(magic, 5) == "%PDF-";
}

// A destination found by name ("queue" or "queue/instance"), or the default one for "".
struct Destination {
  cups_dest_t* dest = nullptr;
  ~Destination() {
    if (dest)
      cupsFreeDests(1, dest);
  }
  std::string name() const {
    if (!dest)
      return {};
    std::string n = dest->name ? dest->name : "";
    if (dest->instance)
      n += std::string("/") + dest->instance;
    return n;
  }
};

void findDestination(const std::string& wanted, Destination& out) {
  if (wanted.empty()) {
    out.dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    return;
  }
  std::string queue = wanted, instance;
  if (auto slash = wanted.find('/'); slash != std::string::npos) {
    queue = wanted.substr(0, slash);
    instance = wanted.substr(slash + 1);
  }
  out.dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(),
                              instance.empty() ? nullptr : instance.c_str());
}

std::string lastCupsError() {
  const char* e = cupsLastErrorString();
  return e && *e ? e : msg::kPrintCupsNoReason;
}

// The state of one job: 0 while it is unknown to the scheduler.
ipp_jstate_t jobState(const std::string& queue, int jobId) {
  cups_job_t* jobs = nullptr;
  int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
  ipp_jstate_t state = static_cast<ipp_jstate_t>(0);
  for (int i = 0; i < n; ++i)
    if (jobs[i].id == jobId)
      state = jobs[i].state;
  cupsFreeJobs(n, jobs);
  return state;
}

// Waits until job `jobId` has ended; "" when it was printed, else why not.
std::string waitForJob(const std::string& queue, int jobId, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  auto pause = std::chrono::milliseconds(50);
  while (true) {
    ipp_jstate_t s = jobState(queue, jobId);
    if (s == IPP_JSTATE_COMPLETED)
      return {};
    if (s == IPP_JSTATE_CANCELED)
      return msg::text(msg::kPrintJobCancelled, jobId);
    if (s == IPP_JSTATE_ABORTED)
      return msg::text(msg::kPrintJobAborted, jobId);
    if (std::chrono::steady_clock::now() >= deadline)
      return msg::text(msg::kPrintJobTimeout, jobId,
                       std::chrono::duration_cast<std::chrono::seconds>(limit).count());
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(500));
  }
}

} // namespace

PrinterList printers() {
  PrinterList list;
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  for (int i = 0; i < count; ++i) {
    if (!dests[i].name || !*dests[i].name)
      continue;
    std::string name = dests[i].name;
    if (dests[i].instance)
      name += std::string("/") + dests[i].instance;
    list.names.push_back(name);
    if (dests[i].is_default && list.defaultName.empty())
      list.defaultName = name;
  }
  cupsFreeDests(count, dests);
  return list;
}

std::string PrintResult::summary() const {
  if (nothingSelected)
    return kNothingSelected;
  if (!noPrinter.empty())
    return noPrinter;
  std::string out = msg::kPrintDone;
  if (!failures.empty()) {
    out += msg::text(msg::kPrintSomeFailed, printed + failures.size(), failures.size());
    for (size_t i = 0; i < failures.size(); ++i)
      out += (i ? "、" : "") + fileName(failures[i].file);
  }
  return out;
}

PrintResult printDocuments(const PrintRequest& request) {
  PrintResult result;
  const int total = static_cast<int>(request.files.size());
  if (total == 0) {
    result.nothingSelected = true;
    return result;
  }
  int done = 0;
  auto report = [&](const std::string& file, const std::string& line, bool ok) {
    ++done;
    if (request.progress)
      request.progress({done, total, file, line, ok});
  };
  auto fail = [&](const std::string& file, const std::string& reason) {
    result.failures.push_back({file, reason});
    report(file, msg::text(msg::kPrintCannotPrint, fileName(file), reason), false);
  };

  Destination dest;
  findDestination(request.printer, dest);
  if (!dest.dest) {
    result.noPrinter = request.printer.empty()
                           ? std::string(msg::kPrintNoDefaultPrinter)
                           : msg::text(msg::kPrintNoSuchPrinter, request.printer);
    for (const std::string& f : request.files)
      fail(f, result.noPrinter);
    return result;
  }
  result.printer = dest.name();
  const std::string queue = dest.dest->name;

  base::TempFolder tmp("quillfold-print");
  if (!tmp.made()) {
    for (const std::string& f : request.files)
      fail(f, msg::kPrintNoTempFolder);
    return result;
  }

  // Render every document in one LibreOffice start. Text files are read with the program's own
  // encoding detection first; PDF files are printed as they are.
  std::vector<std::string> pdfOf(request.files.size());
  std::vector<std::string> errorOf(request.files.size());
  std::vector<word::ConversionJob> jobs;
  std::vector<size_t> jobFile;
  for (size_t i = 0; i < request.files.size(); ++i) {
    const std::string& file = request.files[i];
    std::error_code ec;
    if (!fs::exists(file, ec)) {
      errorOf[i] = msg::kPrintFileMissing;
      continue;
    }
    if (!fs::is_regular_file(file, ec)) {
      errorOf[i] = msg::kPrintNotADocument;
      continue;
    }
    if (word::lowerExtension(file) == ".pdf" && startsWithPdf(file)) {
      pdfOf[i] = file;
      continue;
    }
    std::string input = file;
    if (word::lowerExtension(file) == ".txt") {
      try {
        input = (fs::path(tmp.path()) / fmt::format("text{}.docx", i)).string();
        word::importTextFile(file)->save(input);
      } catch (const word::DocumentError& e) {
        errorOf[i] = e.reason().empty() ? e.what() : e.reason();
        continue;
      }
    }
    jobs.push_back(
        {input, (fs::path(tmp.path()) / fmt::format("doc{}.pdf", i)).string(), "pdf", {}, false});
    jobFile.push_back(i);
  }
  if (!jobs.empty())
    word::convertFiles(jobs, request.convert);
  for (size_t j = 0; j < jobs.size(); ++j) {
    if (jobs[j].ok)
      pdfOf[jobFile[j]] = jobs[j].output;
    else
      errorOf[jobFile[j]] =
          jobs[j].error.empty() ? std::string(msg::kPrintLibreOfficeCannotConvert) : jobs[j].error;
  }

  // Submit in list order, one job per document, titled with the document's name.
  for (size_t i = 0; i < request.files.size(); ++i) {
    const std::string& file = request.files[i];
    if (pdfOf[i].empty()) {
      fail(file, errorOf[i]);
      continue;
    }
    int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.c_str(), pdfOf[i].c_str(),
                             fileName(file).c_str(), dest.dest->num_options, dest.dest->options);
    if (job <= 0) {
      fail(file, msg::text(msg::kPrintJobRefused, result.printer, lastCupsError()));
      continue;
    }
    if (request.wait == Wait::Completed) {
      std::string why = waitForJob(queue, job, request.jobTimeLimit);
      if (!why.empty()) {
        fail(file, why);
        continue;
      }
    }
    ++result.printed;
    result.jobIds.push_back(job);
    base::interrupt::noteFinished(
        msg::text(msg::kPrintPrinted, fileName(file), result.printer, job));
    report(file, msg::text(msg::kPrintPrinted, fileName(file), result.printer, job), true);
  }
  return result;
}

} // namespace app::print
