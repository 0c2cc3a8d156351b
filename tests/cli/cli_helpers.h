#pragma once
// Helpers of the command-line tests: a folder per test, small documents, and running the
// quillfold tool itself.

#include "../common/temp_folder.h"
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "word/package.h"
#include "word/textimport.h"

namespace clitest {

namespace fs = std::filesystem;

using Folder = qftest::TempFolder;

using qftest::readFile;

using qftest::writeFile;

// A .docx with one paragraph per line of `lines`.
inline void writeDocx(const fs::path& p, const std::vector<std::string>& lines) {
  word::makeTextPackage(lines)->save(p.string());
}

inline std::set<std::string> names(const fs::path& folder) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    out.insert(e.path().filename().string());
  return out;
}

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct ToolResult {
  int status = -1;
  std::string out; // standard output (standard error goes to `err`)
  std::string err;
};

// Runs the built quillfold tool with `args` (already quoted) and captures its output.
inline ToolResult runTool(const std::string& args, const fs::path& scratch) {
  const fs::path tool = fs::path(QF_BINARY_DIR) / "app" / "cli" / "quillfold";
  const fs::path errFile = scratch / "stderr.txt";
  std::string command = quote(tool.string()) + " " + args + " 2>" + quote(errFile.string());
  ToolResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    return result;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.out.append(buffer, n);
  int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = readFile(errFile);
  return result;
}

} // namespace clitest
