#include "app/cli/check_command.h"

#include <stdlib.h>

#include <map>
#include <ostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "app/cli/common.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "engine/standard/check.h"
#include "settings/settings.h"
#include "word/convert.h"
#include "word/document.h"
#include "word/filetypes.h"
#include "word/package.h"

namespace quillfold::cli {

namespace fs = std::filesystem;

namespace {

std::string dumpJson(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A private temporary folder, removed with everything in it when the check ends.
class TempFolder {
public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillfold-check-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
      path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty())
      fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

private:
  std::string path_;
};

// The legacy inputs converted by LibreOffice in one start (into a private folder; the sources
// are only read): for each file index, the converted copy or why there is none.
struct Converted {
  std::string docx, error;
};
std::map<size_t, Converted> convertLegacy(const std::vector<std::string>& files,
                                          const std::string& folder) {
  std::map<size_t, Converted> out;
  std::vector<word::ConversionJob> jobs;
  std::vector<size_t> fileOf;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!word::needsConversion(files[i]))
      continue;
    if (folder.empty()) {
      out[i].error = msg::text(msg::kTempFolderFailed, msg::systemError(errno));
      continue;
    }
    word::ConversionJob job;
    job.input = files[i];
    job.output = fmt::format("{}/in-{}.docx", folder, jobs.size() + 1);
    jobs.push_back(std::move(job));
    fileOf.push_back(i);
  }
  if (!jobs.empty())
    word::convertFiles(jobs);
  for (size_t k = 0; k < jobs.size(); ++k) {
    Converted& c = out[fileOf[k]];
    if (jobs[k].ok)
      c.docx = jobs[k].output;
    else
      c.error = jobs[k].error.empty() ? msg::kLibreOfficeCannotConvert : jobs[k].error;
  }
  return out;
}

std::string reasonOf(const word::DocumentError& e) {
  return e.reason().empty() ? e.what() : e.reason();
}

} // namespace

int runCheck(const CheckCommand& command, std::ostream& out, std::ostream& err) {
  engine::standard::Settings standard;
  {
    const fs::path path =
        command.settings.empty() ? settings::defaultSettingsPath() : command.settings;
    settings::IniFile ini(path);
    if (!ini.readError().empty())
      return reportUsage(err, ini.readError());
    std::map<std::string, std::string> values;
    for (const auto& [name, value] : settings::loadStandardProperties(ini))
      values[name] = value;
    standard = engine::standard::fromProperties(
        [&](std::string_view name) { return values[std::string(name)]; });
  }

  TempFolder temp;
  const std::map<size_t, Converted> converted = convertLegacy(command.files, temp.path());
  word::Application app;
  int conforming = 0, breaking = 0, unreadable = 0;
  for (size_t i = 0; i < command.files.size(); ++i) {
    const std::string& file = command.files[i];
    std::vector<engine::standard::Finding> findings;
    std::string error;
    // One document in memory at a time: opened, checked, closed.
    word::Document* doc = nullptr;
    try {
      if (auto it = converted.find(i); it != converted.end()) {
        if (!it->second.error.empty())
          throw word::DocumentError(file, "", it->second.error);
        doc = &app.adopt(
            word::Document::fromPackage(word::Package::open(it->second.docx), file));
      } else {
        doc = &app.open(file);
      }
      findings = engine::standard::checkDocument(*doc, standard);
    } catch (const word::DocumentError& e) {
      error = reasonOf(e);
    } catch (const std::exception&) {
      error = msg::kUnknownFailure;
    }
    if (doc)
      app.close(*doc);
    if (!error.empty())
      ++unreadable;
    else if (findings.empty())
      ++conforming;
    else
      ++breaking;

    if (command.json) {
      nlohmann::json list = nlohmann::json::array();
      for (const auto& f : findings)
        list.push_back({{"paragraph", f.paragraph},
                        {"words", f.words},
                        {"element", f.element},
                        {"what", f.what},
                        {"found", f.found},
                        {"expected", f.expected},
                        {"text", f.text()}});
      nlohmann::json doc = {{"event", "document"},
                            {"file", file},
                            {"readable", error.empty()},
                            {"conforms", error.empty() && findings.empty()},
                            {"findings", list}};
      if (!error.empty())
        doc["error"] = error;
      out << dumpJson(doc) << '\n';
      continue;
    }
    if (!error.empty()) {
      err << msg::text(msg::kCliCheckUnreadable, terminalSafe(file), terminalSafe(error)) << '\n';
    } else if (findings.empty()) {
      out << msg::text(msg::kCliCheckConforms, terminalSafe(file)) << '\n';
    } else {
      out << msg::text(msg::kCliCheckBreaks, terminalSafe(file), findings.size()) << '\n';
      for (const auto& f : findings)
        out << "  " << terminalSafe(f.text()) << '\n';
    }
  }
  const int status = unreadable > 0 ? kExitFailed : breaking > 0 ? kExitNotices : kExitDone;
  if (command.json)
    out << dumpJson({{"event", "summary"},
                     {"documents", command.files.size()},
                     {"conforming", conforming},
                     {"breaking", breaking},
                     {"unreadable", unreadable},
                     {"exitStatus", status}})
        << '\n';
  else
    out << msg::text(msg::kCliCheckSummary, command.files.size(), conforming, breaking,
                     unreadable)
        << '\n';
  out << std::flush;
  return status;
}

} // namespace quillfold::cli
