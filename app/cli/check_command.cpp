#include "app/cli/check_command.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "app/cli/common.h"
#include "base/messages.h"
#include "engine/standard/check.h"
#include "settings/settings.h"

namespace quillfold::cli {

namespace fs = std::filesystem;

namespace {

std::string dumpJson(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
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
    standard = engine::standard::fromProperties(settings::loadStandardProperties(ini));
  }

  int conforming = 0, breaking = 0, unreadable = 0;
  engine::standard::checkFiles(command.files, standard, [&](const engine::standard::FileCheck& r) {
    if (!r.readable())
      ++unreadable;
    else if (r.conforms())
      ++conforming;
    else
      ++breaking;

    if (command.json) {
      nlohmann::json list = nlohmann::json::array();
      for (const auto& f : r.findings)
        list.push_back({{"paragraph", f.paragraph},
                        {"words", f.words},
                        {"element", f.element},
                        {"what", f.what},
                        {"found", f.found},
                        {"expected", f.expected},
                        {"text", f.text()}});
      nlohmann::json doc = {{"event", "document"},
                            {"file", r.file},
                            {"readable", r.readable()},
                            {"conforms", r.conforms()},
                            {"findings", list}};
      if (!r.readable())
        doc["error"] = r.error;
      out << dumpJson(doc) << '\n';
      return true;
    }
    if (!r.readable()) {
      err << msg::text(msg::kCliCheckUnreadable, terminalSafe(r.file), terminalSafe(r.error))
          << '\n';
    } else if (r.conforms()) {
      out << msg::text(msg::kCliCheckConforms, terminalSafe(r.file)) << '\n';
    } else {
      out << msg::text(msg::kCliCheckBreaks, terminalSafe(r.file), r.findings.size()) << '\n';
      for (const auto& f : r.findings)
        out << "  " << terminalSafe(f.text()) << '\n';
    }
    return true;
  });
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
