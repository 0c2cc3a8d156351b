// Fuzz target for the settings store: any bytes as setup.ini are read, every key of the key
// table is read and converted (as a list position and for the engine), one key is set and the
// file read again. A crash, a sanitizer report or an exception is a finding, and so is a write
// that changes more than its key: after a successful set the key reads back as written and
// every other key of the table reads as before.
//
// Built twice: as a libFuzzer target (QF_FUZZ) and as a replay program (QF_FUZZ_REPLAY) that
// runs every stored input once, as a regular test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/temp_folder.h"
#include "settings/inifile.h"
#include "settings/keytable.h"
#include "settings/settings.h"

namespace {

namespace fs = std::filesystem;

// A private folder for the file under test, on a memory file system when there is one (every
// write is fsynced), removed at exit.
const fs::path& workFolder() {
  static const fs::path folder = [] {
    const std::string pattern =
        base::makeTempFolder("qf-fuzz-settings", fs::is_directory("/dev/shm") ? "/dev/shm" : "");
    if (pattern.empty()) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(workFolder(), ec);
    });
    return fs::path(pattern);
  }();
  return folder;
}

void writeAll(const fs::path& path, const uint8_t* data, size_t size) {
  fs::remove(path);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
}

[[noreturn]] void finding(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

std::vector<std::string> allValues(const settings::IniFile& ini) {
  std::vector<std::string> values;
  for (const settings::KeyInfo& key : settings::keyTable())
    values.push_back(ini.get(key.section, key.key, key.defaultText));
  return values;
}

void exercise(const uint8_t* data, size_t size) {
  const fs::path path = workFolder() / "setup.ini";
  writeAll(path, data, size);

  settings::IniFile ini(path);
  const std::vector<std::string> before = allValues(ini);
  for (const settings::KeyInfo& key : settings::keyTable()) {
    const std::string stored = ini.get(key.section, key.key, key.defaultText);
    (void)settings::storedPosition(key, stored);
    (void)settings::isFixedLineSpacing(stored);
    (void)settings::engineValue(key, stored);
  }
  if (settings::loadEngineProperties(ini).size() != settings::kEnginePropertyCount)
    finding("loadEngineProperties() did not give every property");

  // Set one key, chosen by the input, to one of a few values (ASCII, Chinese, empty).
  static const char* const kValues[] = {"1", "黑体", "某某市人民政府文件", "", "3.7", "a b"};
  const auto table = settings::keyTable();
  const size_t pick = size == 0 ? 0 : data[0] ^ (size > 1 ? data[size - 1] : 0);
  const settings::KeyInfo& key = table[pick % table.size()];
  const std::string value = kValues[(pick / table.size()) % std::size(kValues)];
  const bool readable = ini.readError().empty();
  settings::IniWriteResult result = ini.set(key.section, key.key, value);
  if (!readable && result)
    finding("a file that could not be read was written");

  settings::IniFile again(path);
  if (!result) {
    // A refused write leaves the file as it was.
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes != std::string(reinterpret_cast<const char*>(data), size))
      finding("a refused write changed the file: " + result.error);
    return;
  }
  if (!again.readError().empty())
    finding("the file cannot be read after a write: " + again.readError());
  if (again.get(key.section, key.key, "<missing>") != value)
    finding("the value written does not read back");
  const std::vector<std::string> after = allValues(again);
  for (size_t i = 0; i < table.size(); ++i) {
    if (&table[i] == &key)
      continue;
    if (after[i] != before[i])
      finding("a write of " + std::string(key.section) + "/" + std::string(key.key) + " changed " +
              std::string(table[i].section) + "/" + std::string(table[i].key));
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20))
    return 0;
  exercise(data, size);
  return 0;
}

#ifdef QF_FUZZ_REPLAY
#include "replay_main.h"
#endif
