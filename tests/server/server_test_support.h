#pragma once
// Shared pieces of the engine-server tests: a fresh folder per test, environment overrides
// that undo themselves, and a recorder of the client's callbacks.

#include "../common/scoped_env.h"
#include "../common/temp_folder.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/server/engine_client.h"

namespace server_test {

using TempFolder = qftest::TempFolder;

// The file's bytes; a failed read (a /proc file of a process that just ended) ends the
// text instead of throwing.
inline std::string readText(const std::filesystem::path& path) {
  return qftest::readFile(path);
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Sets an environment variable for the lifetime of the object (children inherit it).
using ScopedEnv = qftest::ScopedEnv;

// Everything the client reported, in order, as readable lines:
//   "M <msgId> <cur>/<all> <docName> | <msg>", "E <errId> <errMsg>", "END".
struct Recorder {
  std::vector<std::string> lines;
  std::vector<std::string> messageIds;
  std::function<void(const std::string& msgId, const std::string& docName)> onMessage;

  app::EngineCallbacks callbacks() {
    app::EngineCallbacks c;
    c.message = [this](const std::string& id, const std::string& msg, const std::string& cur,
                       const std::string& all, const std::string& name) {
      lines.push_back("M " + id + " " + cur + "/" + all + " " + name + " | " + msg);
      messageIds.push_back(id);
      if (onMessage)
        onMessage(id, name);
    };
    c.error = [this](int32_t id, const std::string& text) {
      lines.push_back("E " + std::to_string(id) + " " + text);
    };
    c.batchEnded = [this] { lines.push_back("END"); };
    return c;
  }

  int count(const std::string& prefix) const {
    int n = 0;
    for (const auto& l : lines)
      if (l.rfind(prefix, 0) == 0)
        ++n;
    return n;
  }
};

inline std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines)
    out += l + "\n";
  return out;
}

} // namespace server_test
