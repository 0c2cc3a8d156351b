#pragma once
// Helpers of the command-line tests: a folder per test, small documents, and running the
// quillfold tool itself.

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

class Folder {
public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "qf-cli-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

private:
  fs::path path_;
};

inline std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

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
