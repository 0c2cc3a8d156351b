#include "app/cli/check_command.h"

#include <map>
#include <ostream>

#include <nlohmann/json.hpp>

#include "app/cli/common.h"
#include "base/messages.h"
#include "engine/standard/check.h"
#include "settings/settings.h"
#include "word/batch.h"
#include "word/document.h"

namespace quillfold::cli {

namespace fs = std::filesystem;

namespace {

std::string dumpJson(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
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

  // The documents are read as typeset reads them: the legacy ones converted by LibreOffice in
  // one start (into the batch's private folder; the sources are only read).
  word::Application app;
  word::Batch batch(app);
  batch.addSources(command.files);
  int conforming = 0, breaking = 0, unreadable = 0;
  for (size_t i = 0; i < command.files.size(); ++i) {
    const std::string& file = command.files[i];
    std::vector<engine::standard::Finding> findings;
    std::string error;
    // One document in memory at a time: opened, checked, closed.
    word::Document* doc = nullptr;
    try {
      doc = &batch.open(file);
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
    out << msg::text(msg::kCliCheckSummary, command.files.size(), conforming, breaking, unreadable)
        << '\n';
  out << std::flush;
  return status;
}

} // namespace quillfold::cli
