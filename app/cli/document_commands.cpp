#include "app/cli/document_commands.h"

#include <chrono>
#include <ostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "app/cli/typeset_job.h"
#include "app/merge/merge.h"
#include "app/print/print.h"
#include "base/messages.h"

namespace quillfold::cli {

namespace {

std::string dump(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Shows one handled document: a numbered line (on `err` when it failed) or a JSON object.
void showDocument(bool json, std::ostream& out, std::ostream& err, int done, int total,
                  const std::string& file, const std::string& line, bool ok) {
  if (json) {
    out << dump({{"event", "document"},
                 {"done", done},
                 {"total", total},
                 {"file", file},
                 {"ok", ok},
                 {"message", line}})
        << '\n'
        << std::flush;
    return;
  }
  (ok ? out : err) << fmt::format("[{}/{}] ", done, total) << terminalSafe(line) << '\n'
                   << std::flush;
}

} // namespace

int runMerge(const MergeCommand& command, std::ostream& out, std::ostream& err) {
  if (command.files.size() < 2)
    return reportUsage(err, msg::text(msg::kCliMergeTooFew, app::merge::kTooFewFiles));
  if (command.out.empty())
    return reportUsage(err, msg::kCliOutNeedsFolder);
  try {
    prepareOutputFolder(command.out);
  } catch (const UsageError& e) {
    return reportUsage(err, e.what());
  }
  app::merge::MergeRequest request;
  request.files = command.files;
  request.outputFolder = command.out;
  request.progress = [&](const app::merge::MergeProgress& p) {
    showDocument(command.json, out, err, p.done, p.total, p.file, p.line, p.ok);
  };
  app::merge::MergeResult result = app::merge::mergeDocuments(request);
  const int status = result.complete() ? kExitDone : kExitFailed;
  if (command.json) {
    nlohmann::json failed = nlohmann::json::array();
    for (const auto& f : result.failures)
      failed.push_back({{"file", f.file}, {"reason", f.reason}});
    out << dump({{"event", "summary"},
                 {"output", result.outputPath},
                 {"merged", result.merged},
                 {"failed", failed},
                 {"saveError", result.saveError},
                 {"message", result.summary()},
                 {"exitStatus", status}})
        << '\n'
        << std::flush;
  } else {
    (result.saved() ? out : err) << terminalSafe(result.summary()) << '\n';
    if (result.saved())
      out << terminalSafe(result.outputPath) << '\n';
    out << std::flush;
  }
  return status;
}

int runPrint(const PrintCommand& command, std::ostream& out, std::ostream& err) {
  if (command.files.empty())
    return reportUsage(err, msg::text(msg::kCliPrintNothing, app::print::kNothingSelected));
  app::print::PrintRequest request;
  request.files = command.files;
  request.printer = command.printer;
  request.wait = command.wait ? app::print::Wait::Completed : app::print::Wait::Accepted;
  request.jobTimeLimit =
      std::chrono::seconds(command.timeLimitSeconds > 0 ? command.timeLimitSeconds : 120);
  request.progress = [&](const app::print::PrintProgress& p) {
    showDocument(command.json, out, err, p.done, p.total, p.file, p.line, p.ok);
  };
  app::print::PrintResult result = app::print::printDocuments(request);
  const int status = result.failures.empty() ? kExitDone : kExitFailed;
  if (command.json) {
    nlohmann::json failed = nlohmann::json::array();
    for (const auto& f : result.failures)
      failed.push_back({{"file", f.file}, {"reason", f.reason}});
    out << dump({{"event", "summary"},
                 {"printer", result.printer},
                 {"printed", result.printed},
                 {"jobs", result.jobIds},
                 {"failed", failed},
                 {"message", result.summary()},
                 {"exitStatus", status}})
        << '\n'
        << std::flush;
  } else {
    (result.failures.empty() ? out : err) << terminalSafe(result.summary()) << '\n' << std::flush;
  }
  return status;
}

int runPrinters(bool json, std::ostream& out, std::ostream& err) {
  app::print::PrinterList list = app::print::printers();
  if (json) {
    out << dump({{"printers", list.names}, {"default", list.defaultName}}) << '\n' << std::flush;
    return list.names.empty() ? kExitFailed : kExitDone;
  }
  if (list.names.empty()) {
    reportUsage(err, msg::kCliNoPrinters);
    return kExitFailed;
  }
  for (const std::string& name : list.names)
    out << terminalSafe(name)
        << (name == list.defaultName ? std::string("\t") + msg::kCliDefaultPrinter : "") << '\n';
  out << std::flush;
  return kExitDone;
}

} // namespace quillfold::cli
