#pragma once
// A fresh folder per test, removed with everything in it at the end, and byte-exact file
// helpers.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "base/temp_folder.h"

namespace qftest {

class TempFolder {
public:
  TempFolder() : path_(base::makeTempFolder("qf-test")) {
    if (path_.empty())
      throw std::runtime_error("mkdtemp failed");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

// The file's bytes, "" when it cannot be opened. Reads through istream::read, which turns a
// failed read into a stream state rather than an exception: a /proc file of a process that
// ends while it is read fails with ESRCH, and tests that scan /proc must see that as "gone".
inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::string out;
  char buf[4096];
  while (in.read(buf, sizeof buf) || in.gcount() > 0)
    out.append(buf, static_cast<std::size_t>(in.gcount()));
  return out;
}

inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace qftest
