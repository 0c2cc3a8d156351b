#pragma once
// A fresh folder per test and byte-exact file helpers.

#include "../common/temp_folder.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace settings_test {

using TempFolder = qftest::TempFolder;

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path& path) {
  return qftest::readFile(path);
}

// Files in `folder`, not counting the lock files that writers of a settings file leave beside
// it (".NAME.lock").
inline int fileCount(const std::filesystem::path& folder) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (!(name.size() > 6 && name.front() == '.' && name.ends_with(".lock")))
      ++n;
  }
  return n;
}

} // namespace settings_test
