#include "engine/memory_budget.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include <sys/resource.h>

#include "base/messages.h"

namespace engine {

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

// A number from a "Key:   123 kB" line of a /proc file, in bytes.
std::optional<uint64_t> procKilobytes(const char* file, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0 || line.size() <= key.size() ||
        line[key.size()] != ':')
      continue;
    std::istringstream fields(line.substr(key.size() + 1));
    uint64_t kb = 0;
    if (fields >> kb)
      return kb * 1024;
  }
  return std::nullopt;
}

std::optional<uint64_t> readNumber(const std::string& file) {
  std::ifstream in(file);
  std::string text;
  if (!(in >> text) || text == "max")
    return std::nullopt;
  try {
    return std::stoull(text);
  } catch (...) {
    return std::nullopt;
  }
}

// What the process's cgroup (v2) still allows.
std::optional<uint64_t> cgroupLeft() {
  std::ifstream in("/proc/self/cgroup");
  std::string line, path;
  while (std::getline(in, line))
    if (line.rfind("0::", 0) == 0)
      path = line.substr(3);
  if (path.empty())
    return std::nullopt;
  const std::string dir = "/sys/fs/cgroup" + (path == "/" ? std::string() : path);
  auto max = readNumber(dir + "/memory.max");
  auto current = readNumber(dir + "/memory.current");
  if (!max)
    return std::nullopt;
  return *max > current.value_or(0) ? *max - current.value_or(0) : 0;
}

std::optional<uint64_t> limitLeft(int resource, const char* usedKey) {
  rlimit lim{};
  if (::getrlimit(resource, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY)
    return std::nullopt;
  uint64_t used = procKilobytes("/proc/self/status", usedKey).value_or(0);
  return lim.rlim_cur > used ? lim.rlim_cur - used : 0;
}

} // namespace

std::optional<uint64_t> availableMemory() {
  // A reading serves the documents of the next 250 ms: a batch of short documents would
  // otherwise read /proc/meminfo and the control group's files for each of them, about 3 % of
  // the time a short document takes.
  struct Reading {
    std::chrono::steady_clock::time_point at;
    std::optional<uint64_t> bytes;
    bool taken = false;
  };
  thread_local Reading last;
  const auto now = std::chrono::steady_clock::now();
  if (last.taken && now - last.at < std::chrono::milliseconds(250))
    return last.bytes;
  std::optional<uint64_t> best;
  auto take = [&](std::optional<uint64_t> v) {
    if (v)
      best = best ? std::min(*best, *v) : *v;
  };
  take(procKilobytes("/proc/meminfo", "MemAvailable"));
  take(cgroupLeft());
  take(limitLeft(RLIMIT_AS, "VmSize"));
  take(limitLeft(RLIMIT_DATA, "VmData"));
  last = {now, best, true};
  return best;
}

uint64_t runMemoryEstimate(int64_t paragraphs, const std::string& runMode) {
  // Measured growth of a run over the opened document, with room to spare: the full run
  // writes paragraph properties and fonts on every paragraph and run (about 3.7 KiB a
  // paragraph on plain documents); the partial runs change little per paragraph.
  const uint64_t perParagraph = runMode == "0" || runMode == "Standard" ? 4096 : 512;
  const uint64_t fixed = 32 * kMiB;
  return fixed + static_cast<uint64_t>(std::max<int64_t>(paragraphs, 0)) * perParagraph;
}

std::optional<std::string> memoryShortfall(int64_t paragraphs, const std::string& runMode,
                                           std::optional<uint64_t> available) {
  if (!available)
    return std::nullopt;
  const uint64_t need = runMemoryEstimate(paragraphs, runMode);
  if (need <= *available)
    return std::nullopt;
  return msg::text(msg::kDocumentTooLargeForMemory, paragraphs, (need + kMiB - 1) / kMiB,
                   *available / kMiB);
}

} // namespace engine
