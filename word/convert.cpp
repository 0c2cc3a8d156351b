#include "word/convert.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fmt/format.h>

#include "base/ascii.h"
#include "base/encoding.h"
#include "base/interrupt.h"
#include "base/md5.h"
#include "base/messages.h"
#include "base/process.h"
#include "base/system_error.h"
#include "base/temp_folder.h"
#include "word/error.h"
#include "word/fonts.h"

namespace word {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

std::atomic<unsigned> gLaunches{0};

struct Format {
  const char* name;   // extension soffice gives the output
  const char* filter; // argument of --convert-to
  std::string_view magic;
};

const Format kFormats[] = {
    {"docx", "docx:MS Word 2007 XML", {"PK\x03\x04", 4}},
    {"doc", "doc:MS Word 97", {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8}},
    {"pdf", "pdf:writer_pdf_Export", "%PDF"},
    {"odt", "odt", {"PK\x03\x04", 4}},
    {"rtf", "rtf:Rich Text Format", "{\\rtf"},
    {"txt", "txt:Text (encoded):UTF8", ""},
};

const Format* formatFor(const ConversionJob& job) {
  std::string name = job.format;
  if (name.empty()) {
    name = fs::path(job.output).extension().string();
    if (!name.empty())
      name.erase(0, 1);
  }
  name = base::lowerAscii(name);
  for (const auto& f : kFormats)
    if (name == f.name)
      return &f;
  return nullptr;
}

bool isExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string errnoText(int e) {
  return msg::systemError(e);
}

// Reads up to `n` bytes from the start of a file.
std::string readHead(const std::string& path, size_t n) {
  std::string data(n, '\0');
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    return {};
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::read(fd, data.data() + done, n - done);
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      break;
    done += static_cast<size_t>(r);
  }
  ::close(fd);
  data.resize(done);
  return data;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// UTF-16LE form of an OLE2 directory entry name.
std::string oleName(std::string_view name) {
  std::string out;
  for (char c : name) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

// True when the file holds any of `needles`, ASCII case ignored (OLE2 directory names compare
// case-blind: "worddocument" is the same stream as "WordDocument"). Read in chunks that
// overlap by the longest needle.
bool fileContainsAny(const std::string& path, std::vector<std::string> needles) {
  size_t longest = 0;
  for (auto& n : needles) {
    base::lowerAsciiInPlace(n.data(), n.size());
    longest = std::max(longest, n.size());
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    return false;
  std::string window;
  std::vector<char> buf(1 << 20);
  bool found = false;
  while (!found) {
    ssize_t r = ::read(fd, buf.data(), buf.size());
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      break;
    base::lowerAsciiInPlace(buf.data(), static_cast<size_t>(r));
    window.append(buf.data(), static_cast<size_t>(r));
    for (const auto& n : needles)
      found = found || window.find(n) != std::string::npos;
    if (window.size() > longest)
      window.erase(0, window.size() - longest);
  }
  ::close(fd);
  return found;
}

// True when a file is binary data in none of the word-processing formats LibreOffice reads.
// LibreOffice imports such bytes as plain text and "converts" them successfully, so they are
// refused here. An OLE2 file must name a document stream in its directory: Word 6-2003 and
// Kingsoft WPS ("WordDocument"), Works ("CONTENTS"), StarWriter ("StarWriterDocument").
// Damaged zip packages need no check: LibreOffice fails to load them.
bool unreadableBinary(const std::string& path) {
  const std::string head = readHead(path, 1 << 16);
  static constexpr std::string_view kOle2{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};
  if (startsWith(head, kOle2))
    return !fileContainsAny(
        path, {oleName("WordDocument"), oleName("CONTENTS"), oleName("StarWriterDocument")});
  static constexpr std::string_view kContainers[] = {
      {"PK\x03\x04", 4},       // zip: OOXML, ODF
      {"\xDB\xA5", 2},         // Word 2 for Windows
      {"\x9B\xA5", 2},         // Word 1 for Windows
      {"\xFE\x37", 2},         // Word for Macintosh
      {"\xFFWPC", 4},          // WordPerfect
      {"\x31\xBE\x00\x00", 4}, // Write
      {"\x32\xBE\x00\x00", 4}, // Write with OLE objects
      {"\xFF\xFE", 2},         // UTF-16 text (HTML or RTF saved so)
      {"\xFE\xFF", 2},
  };
  for (auto magic : kContainers)
    if (startsWith(head, magic))
      return false;
  // Text (RTF, HTML, XML, plain text) has no zero bytes and hardly any control characters.
  size_t controls = 0;
  for (char ch : head) {
    auto c = static_cast<unsigned char>(ch);
    if (c == 0)
      return true;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B)
      ++controls;
  }
  return controls * 100 > head.size();
}

// file:// URL of an absolute path, every byte outside the unreserved set percent-encoded.
std::string fileUrl(const std::string& path) {
  std::string url = "file://";
  for (char ch : path) {
    auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
        c == '-' || c == '.' || c == '_' || c == '~')
      url.push_back(ch);
    else
      url += fmt::format("%{:02X}", c);
  }
  return url;
}

// Where soffice's private folder goes: the system temporary folder, or /tmp when that path is
// not plain ASCII - soffice gets paths inside it on its command line, and the locale it runs
// under could garble them.
std::string plainTempParent() {
  const std::string parent = base::systemTempFolder();
  return std::all_of(parent.begin(), parent.end(),
                     [](char c) {
                       return static_cast<unsigned char>(c) >= 0x20 &&
                              static_cast<unsigned char>(c) < 0x7F;
                     })
             ? parent
             : "/tmp";
}

struct RunResult {
  bool started = false;
  bool timedOut = false;
  int status = 0; // wait status
  std::string error;
};

// Waits for `pid` to end without reaping it (so its pid, which is also its process group id,
// cannot be reused meanwhile). Returns false on timeout.
bool waitForExit(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  int pidfd = -1;
#ifdef SYS_pidfd_open
  pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#endif
  bool exited = false;
  for (;;) {
    siginfo_t info{};
    int r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (r == 0 && info.si_pid == pid) {
      exited = true;
      break;
    }
    if (r != 0 && errno != EINTR) { // ECHILD: reaped elsewhere (SIGCHLD ignored)
      exited = true;
      break;
    }
    auto left =
        std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      break;
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    } else {
      std::this_thread::sleep_for(std::min(left, milliseconds(20)));
    }
  }
  if (pidfd >= 0)
    ::close(pidfd);
  return exited;
}

// The running processes of group `pgid` (zombies do not count: they hold no files open and may
// wait for an init that does not reap).
std::vector<pid_t> groupMembers(pid_t pgid) {
  std::vector<pid_t> members;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::string stat = readHead(entry.path().string() + "/stat", 512);
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
      continue;
    // After the command: " state ppid pgrp ..."
    char state = 0;
    long ppid = 0, pgrp = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %ld %ld", &state, &ppid, &pgrp) != 3)
      continue;
    if (pgrp == pgid && state != 'Z' && state != 'X')
      members.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return members;
}

// Waits until the processes of killed group `pgid` are gone, so that none of them writes into a
// folder about to be removed. Bounded, in case /proc is not readable.
void awaitGroupGone(pid_t pgid) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!groupMembers(pgid).empty() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(milliseconds(5));
}

// soffice without a window, a restore or a start wizard, on the profile at `profileUrl`.
std::vector<std::string> sofficeCommand(const std::string& soffice, const std::string& profileUrl) {
  return {soffice,
          "--headless",
          "--norestore",
          "--nolockcheck",
          "--nodefault",
          "--nofirststartwizard",
          "-env:UserInstallation=" + profileUrl};
}

// Starts soffice (argv[0]) in a process group of its own with stdin from /dev/null and stdout
// and stderr into `logPath`, registered so that an interrupt of this process ends the group
// (a terminal's Ctrl+C does not reach it). Returns its pid, which is also its group's id, or 0
// with `rc` set to the errno.
pid_t spawnSoffice(const std::vector<std::string>& argv, const std::string& logPath,
                   const std::string& tmpDir, const std::string& fontConfig, int& rc) {
  base::SpawnOptions spawn;
  spawn.argv = argv;
  spawn.stdinPath = "/dev/null";
  spawn.stdoutPath = logPath;
  spawn.stderrToStdout = true;
  // TMPDIR pointing into the private folder: soffice keeps temporary files there that it
  // leaves behind when killed.
  spawn.setEnv.push_back("TMPDIR=" + tmpDir);
  // Our font configuration (the system's plus the official Chinese names mapped to faces of
  // the same class), for this child only.
  if (!fontConfig.empty())
    spawn.setEnv.push_back("FONTCONFIG_FILE=" + fontConfig);
  spawn.setEnv.push_back(sofficeMallocTunables(std::getenv("GLIBC_TUNABLES")));
  pid_t pid = 0;
  rc = 0;
  base::interrupt::startGroup([&] {
    pid = base::spawnProcess(spawn, rc);
    return pid > 0 ? pid : 0;
  });
  return rc == 0 ? pid : 0;
}

// Runs argv[0] in a process group of its own with stdin from /dev/null and stdout and stderr
// into `logPath`. When it has not ended by the time limit, the whole group is killed.
// A soffice that hands its files to a kept office (`handedOver`) is no start of LibreOffice.
RunResult runProcess(const std::vector<std::string>& argv, const std::string& logPath,
                     const std::string& tmpDir, milliseconds limit, const std::string& fontConfig,
                     bool handedOver) {
  RunResult result;
  auto deadline = std::chrono::steady_clock::now() + limit;
  int rc = 0;
  const pid_t pid = spawnSoffice(argv, logPath, tmpDir, fontConfig, rc);
  if (rc != 0) {
    result.error = msg::text(msg::kConvertCannotStart, argv[0], errnoText(rc));
    return result;
  }
  result.started = true;
  if (!handedOver)
    ++gLaunches;

  result.timedOut = !waitForExit(pid, deadline);
  // The leader is alive or a zombie here, so the group id still names our group. Killing it
  // also ends helpers soffice left behind.
  ::kill(-pid, SIGKILL);
  if (result.timedOut)
    awaitGroupGone(pid);
  base::interrupt::forgetGroup(pid);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = status;
  return result;
}

} // namespace

struct KeptOffice::State {
  std::mutex inUse;                     // held by the start handing its files to the office
  pid_t pid = 0;                        // the office's process and group; 0: none runs
  std::optional<base::TempFolder> root; // its folder: profile, temporary files, kept document
  std::string profileUrl;               // what the starts handed to it name as their profile
  std::string socket;   // its acceptor's pipe, in /tmp or /var/tmp: there once it is ready
  bool ready = false;   // the pipe was seen
  bool givenUp = false; // it failed once: later starts run on their own
  unsigned launches = 0;
};

struct OfficeAccess {
  static KeptOffice::State& of(KeptOffice& office) { return *office.state_; }
};

namespace {

// Where LibreOffice makes a pipe of that name: in /tmp, or in /var/tmp when it cannot write to
// /tmp.
std::array<std::string, 2> pipePaths(const std::string& name) {
  return {"/tmp/" + name, "/var/tmp/" + name};
}

bool isSocket(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// Removes a pipe a LibreOffice of ours left behind: only a socket, and only one of ours.
int removePipe(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid())
    return 0;
  return ::unlink(path.c_str());
}

// Ends the kept office with its whole group, removes the pipes it made (its acceptor's and its
// profile's, which a killed LibreOffice leaves behind) and its folder. The caller's later starts
// run on their own.
void endOffice(KeptOffice::State& office) {
  office.givenUp = true;
  if (office.pid <= 0)
    return;
  ::kill(-office.pid, SIGKILL);
  awaitGroupGone(office.pid);
  base::interrupt::forgetGroup(office.pid);
  while (::waitpid(office.pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  for (const std::string& name : {office.socket, sofficePipeName(office.profileUrl)})
    for (const std::string& pipe : pipePaths(name))
      removePipe(pipe);
  office.pid = 0;
  office.ready = false;
  office.root.reset();
}

// Launches the kept office on `profile` (a profile a start set up and ended well with; it is
// moved into the office's folder); awaitOffice waits until it takes files. Returns false,
// leaving the profile where it is, when it could not be launched.
bool launchOffice(KeptOffice::State& office, const std::string& soffice,
                  const std::string& profile) {
  base::TempFolder root("quillfold-office", plainTempParent());
  if (!root.made())
    return false;
  const std::string tmpDir = root.path() + "/tmp", own = root.path() + "/profile",
                    keep = root.path() + "/keep.txt";
  if (::mkdir(tmpDir.c_str(), 0700) != 0)
    return false;
  // The document it holds open; an empty one would not be opened, and the office would end
  // after the first files handed to it.
  FILE* f = std::fopen(keep.c_str(), "w");
  if (!f)
    return false;
  const bool written = std::fputs("quillfold\n", f) >= 0;
  if (std::fclose(f) != 0 || !written)
    return false;
  if (::rename(profile.c_str(), own.c_str()) != 0)
    return false;
  // The name of its acceptor's pipe, which it makes once it is up: unguessable, so no other
  // pipe is taken for it.
  std::random_device random;
  const std::string name = fmt::format("quillfold-{}-{:08x}{:08x}", ::getpid(), random(), random());
  const std::string url = fileUrl(own);
  std::vector<std::string> argv = sofficeCommand(soffice, url);
  argv.insert(argv.end(), {"--accept=pipe,name=" + name + ";urp;", keep});
  int rc = 0;
  const pid_t pid =
      spawnSoffice(argv, root.path() + "/soffice.log", tmpDir, writeFontConfig(root.path()), rc);
  if (pid <= 0) {
    ::rename(own.c_str(), profile.c_str());
    return false;
  }
  ++gLaunches;
  ++office.launches;
  office.pid = pid;
  office.root.emplace(std::move(root));
  office.profileUrl = url;
  office.socket = "OSL_PIPE_" + std::to_string(::getuid()) + "_" + name;
  office.ready = false;
  return true;
}

// Waits until the kept office is ready to take files. False when it ended first or is not
// ready by the deadline.
bool awaitOffice(KeptOffice::State& office, std::chrono::steady_clock::time_point deadline) {
  while (!office.ready) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(office.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        info.si_pid == office.pid)
      return false;
    for (const std::string& path : pipePaths(office.socket))
      office.ready = office.ready || isSocket(path);
    if (office.ready)
      break;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

bool officeAlive(const KeptOffice::State& office) {
  siginfo_t info{};
  return office.pid > 0 &&
         ::waitid(P_PID, static_cast<id_t>(office.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

// A profile a start set up, kept in the user's own cache for the kept offices of later runs (an
// office cannot set up a new profile itself, see launchOffice): "office/profile" there. The
// folder "office" is made by us with mode 0700 and used only while it is ours alone: a profile
// someone else could change would run their settings, macros included, as us. (The cache
// folder itself may be group-writable under a umask of 002; one planted in its place would not
// be ours.)
std::string keptProfileFolder() {
  const std::string cache = base::userCacheFolder();
  return cache.empty() ? std::string() : cache + "/office";
}

bool ownFolderAlone(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

// Copies `profile` to the kept one when there is none yet: into a fresh name, then renamed into
// place, so that runs at once never see half of one.
void keepProfileTemplate(const std::string& profile) {
  const std::string folder = keptProfileFolder();
  if (folder.empty() || ::access((folder + "/profile").c_str(), F_OK) == 0)
    return;
  std::error_code ec;
  fs::create_directories(fs::path(folder).parent_path(), ec);
  ::mkdir(folder.c_str(), 0700);
  if (!ownFolderAlone(folder))
    return;
  base::TempFolder fresh("profile", folder);
  if (!fresh.made())
    return;
  fs::copy(profile, fresh.path() + "/profile", fs::copy_options::recursive, ec);
  if (!ec)
    ::rename((fresh.path() + "/profile").c_str(), (folder + "/profile").c_str());
}

// Copies the kept profile to `profile`; false when there is none (or it is not ours alone).
bool copyProfileTemplate(const std::string& profile) {
  const std::string folder = keptProfileFolder();
  if (folder.empty() || !ownFolderAlone(folder) || ::access((folder + "/profile").c_str(), F_OK))
    return false;
  std::error_code ec;
  fs::copy(folder + "/profile", profile, fs::copy_options::recursive, ec);
  if (ec) {
    fs::remove_all(profile, ec);
    return false;
  }
  return true;
}

// Drops a kept profile an office could not start on (made by another LibreOffice version, say):
// the next start that ends well leaves a new one.
void dropProfileTemplate() {
  const std::string folder = keptProfileFolder();
  if (folder.empty() || !ownFolderAlone(folder))
    return;
  base::TempFolder bin("dropped", folder);
  if (bin.made())
    ::rename((folder + "/profile").c_str(), (bin.path() + "/profile").c_str());
}

// Makes the kept office ready to take a start's files: the running one, else one launched on
// `profile` when `shelved` (taken from the caller's shelf) or on a copy of the kept profile put
// there. False, with the office ended, when it is not to be had: the start runs on its own.
bool readyOffice(KeptOffice::State& office, const std::string& soffice, const std::string& profile,
                 bool shelved, milliseconds limit) {
  bool fromTemplate = false;
  if (office.pid == 0) {
    if (office.givenUp)
      return false;
    fromTemplate = !shelved && copyProfileTemplate(profile);
    if (!(shelved || fromTemplate) || !launchOffice(office, soffice, profile)) {
      std::error_code ec;
      if (fromTemplate)
        fs::remove_all(profile, ec);
      return false;
    }
  }
  if (awaitOffice(office, std::chrono::steady_clock::now() + limit))
    return true;
  endOffice(office);
  if (fromTemplate)
    dropProfileTemplate();
  return false;
}

// The last meaningful line soffice printed (start-up warnings skipped).
std::string logTail(const std::string& logPath) {
  std::string log = readHead(logPath, 1 << 16);
  std::string last;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos)
      end = log.size();
    std::string line = log.substr(start, end - start);
    start = end + 1;
    if (line.find_first_not_of(" \t\r") == std::string::npos)
      continue;
    if (line.find("javaldx") != std::string::npos || startsWith(line, "convert "))
      continue;
    last = line;
  }
  if (last.size() > 300)
    last.resize(300);
  return last;
}

// Copies `from` into the folder of `to` under a temporary name, syncs it and renames it over
// `to`. Returns "" on success, else the reason.
std::string moveIntoPlace(const std::string& from, const std::string& to) {
  fs::path target(to);
  fs::path dir = target.parent_path();
  if (dir.empty())
    dir = ".";
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0)
    return msg::text(msg::kConvertCannotReadOutput, errnoText(errno));
  // A short fixed-length temporary name, so that it fits whatever the length of the output's.
  int out = -1;
  int createErrno = 0;
  const std::string tmp = base::interrupt::createFile([&]() -> std::string {
    std::string name = (dir / ".qfXXXXXX").string();
    out = ::mkostemp(name.data(), O_CLOEXEC);
    createErrno = errno;
    return out < 0 ? std::string() : name;
  });
  if (out < 0) {
    ::close(in);
    return msg::text(msg::kConvertCannotWriteFolder, dir.string(), errnoText(createErrno));
  }
  ::fchmod(out, 0666 & ~base::fileCreationMask());
  std::string error;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = msg::text(msg::kConvertCannotReadOutput, errnoText(errno));
      break;
    }
    if (n == 0)
      break;
    for (ssize_t off = 0; off < n && error.empty();) {
      ssize_t w = ::write(out, buf + off, static_cast<size_t>(n - off));
      if (w < 0 && errno == EINTR)
        continue;
      if (w < 0)
        error = msg::text(msg::kConvertCannotWrite, to, errnoText(errno));
      else
        off += w;
    }
    if (!error.empty())
      break;
  }
  ::close(in);
  if (error.empty() && ::fsync(out) != 0)
    error = msg::text(msg::kConvertCannotWrite, to, errnoText(errno));
  if (::close(out) != 0 && error.empty())
    error = msg::text(msg::kConvertCannotWrite, to, errnoText(errno));
  // rename() replaces the entry at `to` itself: a link there is replaced, not written through.
  base::interrupt::settleFile(tmp, [&] {
    if (error.empty() && ::rename(tmp.c_str(), to.c_str()) != 0)
      error = msg::text(msg::kConvertCannotReplace, to, errnoText(errno));
    if (!error.empty())
      ::unlink(tmp.c_str());
    return 0;
  });
  if (!error.empty())
    return error;
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return {};
}

std::string formatLimit(milliseconds limit) {
  if (limit.count() % 1000 == 0)
    return std::to_string(limit.count() / 1000);
  return fmt::format("{:.1f}", static_cast<double>(limit.count()) / 1000.0);
}

// Checks a job before any conversion; returns the reason it cannot be done, or "".
std::string precheck(const ConversionJob& job, const Format* format) {
  if (!format) {
    std::string ext =
        job.format.empty() ? fs::path(job.output).extension().string() : "." + job.format;
    return ext.empty() ? std::string(msg::kConvertNoExtension)
                       : msg::text(msg::kConvertUnknownFormat, ext);
  }
  struct stat in {};
  if (::stat(job.input.c_str(), &in) != 0)
    return msg::text(msg::kConvertCannotRead, errnoText(errno));
  if (!S_ISREG(in.st_mode))
    return msg::kConvertNotRegular;
  if (::access(job.input.c_str(), R_OK) != 0)
    return msg::text(msg::kConvertCannotRead, errnoText(errno));
  struct stat out {};
  if (::stat(job.output.c_str(), &out) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino)
    return msg::text(msg::kConvertOutputIsInput, job.output);
  fs::path dir = fs::path(job.output).parent_path();
  if (dir.empty())
    dir = ".";
  struct stat d {};
  if (::stat(dir.c_str(), &d) != 0 || !S_ISDIR(d.st_mode))
    return msg::text(msg::kConvertNoOutputFolder, dir.string());
  if (unreadableBinary(job.input))
    return msg::kConvertCouldNot;
  return {};
}

// Starts in a row that crashed without converting a file, after which the files left get no
// further start: LibreOffice that dies before its first file is more likely unable to run here
// than meeting one hostile file after another.
constexpr int kMaxBarrenCrashes = 3;

// One soffice start converting `batch` (indexes into `jobs`) to `format`. `barrenCrashes`
// counts the crashed starts without a converted file that led to this one; `afterTimeout` says
// that one of them ran out of time.
void convertBatch(std::vector<ConversionJob>& jobs, const std::vector<size_t>& batch,
                  const Format& format, const std::string& soffice, const ConvertOptions& options,
                  int barrenCrashes = 0, bool afterTimeout = false) {
  base::TempFolder root("quillfold-lo", plainTempParent());
  if (!root.made()) {
    for (size_t i : batch)
      jobs[i].error = msg::text(msg::kConvertNoTempFolder, errnoText(root.error()));
    return;
  }
  const std::string inDir = root.path() + "/in", outDir = root.path() + "/out",
                    tmpDir = root.path() + "/tmp";
  if (::mkdir(inDir.c_str(), 0700) != 0 || ::mkdir(outDir.c_str(), 0700) != 0 ||
      ::mkdir(tmpDir.c_str(), 0700) != 0) {
    for (size_t i : batch)
      jobs[i].error = msg::text(msg::kConvertNoTempFolder, errnoText(errno));
    return;
  }

  // Private copies named f<N>.<ext>: distinct base names, ASCII only, the original extension
  // kept as the type hint soffice uses alongside the content.
  std::vector<std::string> copies(batch.size());
  std::vector<size_t> todo;
  uint64_t totalBytes = 0;
  for (size_t k = 0; k < batch.size(); ++k) {
    ConversionJob& job = jobs[batch[k]];
    std::string ext = base::lowerExtension(job.input);
    if (!std::all_of(ext.begin(), ext.end(), [](char c) {
          return c == '.' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        }))
      ext.clear();
    copies[k] = fmt::format("{}/f{}{}", inDir, k, ext);
    std::error_code ec;
    fs::copy_file(job.input, copies[k], ec);
    if (ec) {
      job.error = msg::text(msg::kConvertCannotRead, msg::systemError(ec.value()));
      continue;
    }
    auto size = fs::file_size(copies[k], ec);
    if (!ec)
      totalBytes += size;
    todo.push_back(k);
  }
  if (todo.empty())
    return;

  // The caller's kept office takes the files when it runs and no other start is using it.
  KeptOffice::State* office = options.office && !options.profileShelf.empty()
                                  ? &OfficeAccess::of(*options.office)
                                  : nullptr;
  std::unique_lock<std::mutex> lease;
  if (office)
    lease = std::unique_lock<std::mutex>(office->inUse, std::try_to_lock);
  const bool leased = lease.owns_lock();
  bool handed =
      leased && office->pid > 0 && readyOffice(*office, soffice, {}, false, options.baseTimeLimit);

  // A profile kept from an earlier start of this caller, if one is free. Taking it is a rename:
  // of starts running at once, only one can take a given profile.
  const std::string profile = root.path() + "/profile";
  bool shelved = false;
  if (!handed && !options.profileShelf.empty()) {
    std::error_code ec;
    for (const auto& kept : fs::directory_iterator(options.profileShelf, ec))
      if (::rename(kept.path().c_str(), profile.c_str()) == 0) {
        shelved = true;
        break;
      }
  }
  // With no office running, one is launched on that profile, or on the kept one (a new profile
  // makes LibreOffice restart itself, which an office holding a document open does not
  // survive), and takes this start's files. Without either, the start runs on its own and its
  // profile goes on for the next.
  if (!handed && leased && office->pid == 0)
    handed = readyOffice(*office, soffice, profile, shelved, options.baseTimeLimit);

  // A start of its own that crashes, or is killed at its time limit or by an interrupt, leaves
  // its pipe behind: the name is registered for an interrupt's cleanup and removed after the
  // start. (Its profile is this start's alone, so no other LibreOffice has that pipe.)
  std::vector<std::string> pipes;
  if (!handed)
    for (const std::string& path : pipePaths(sofficePipeName(fileUrl(profile))))
      pipes.push_back(base::interrupt::createFile([&] { return path; }));
  std::vector<std::string> argv =
      sofficeCommand(soffice, handed ? office->profileUrl : fileUrl(profile));
  argv.insert(argv.end(), {"--convert-to", format.filter, "--outdir", outDir});
  for (size_t k : todo)
    argv.push_back(copies[k]);

  const double mib = static_cast<double>(totalBytes) / (1 << 20);
  milliseconds limit = options.baseTimeLimit +
                       milliseconds(static_cast<long long>(options.perMiBTimeLimit.count() * mib)) +
                       options.perFileTimeLimit * static_cast<long long>(todo.size() - 1);
  RunResult run = runProcess(argv, root.path() + "/soffice.log", tmpDir, limit,
                             writeFontConfig(root.path()), handed);
  for (const std::string& pipe : pipes)
    base::interrupt::settleFile(pipe, [&] { return removePipe(pipe); });
  const bool endedWell =
      run.started && !run.timedOut && WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
  if (handed) {
    // An office that failed a start, or ended under it, is not trusted with the next.
    if (!endedWell || !officeAlive(*office))
      endOffice(*office);
  } else if (!options.profileShelf.empty() && endedWell) {
    // Only the profile of a start that ended well is kept: one that was killed or failed may
    // have left it half written. (Otherwise it goes with the start's folder.)
    if (office)
      keepProfileTemplate(profile);
    static std::atomic<unsigned> kept{0};
    ::rename(profile.c_str(),
             fmt::format("{}/p{}-{}", options.profileShelf, ::getpid(), ++kept).c_str());
  }

  const bool crashed = run.started && !run.timedOut && !endedWell;
  std::vector<size_t> unproduced; // in the order soffice was given them
  size_t hungOn = todo.back();    // after a time-out: the file soffice was on
  for (auto t = todo.rbegin(); t != todo.rend(); ++t) {
    struct stat st {};
    const std::string produced = fmt::format("{}/f{}.{}", outDir, *t, format.name);
    if (::stat(produced.c_str(), &st) != 0 || st.st_size == 0)
      hungOn = *t;
  }
  for (size_t k : todo) {
    ConversionJob& job = jobs[batch[k]];
    if (!run.started) {
      job.error = run.error;
      continue;
    }
    if (run.timedOut) {
      job.error = msg::text(msg::kConvertTimeout, formatLimit(limit));
      continue;
    }
    std::string produced = fmt::format("{}/f{}.{}", outDir, k, format.name);
    struct stat st {};
    if (::stat(produced.c_str(), &st) != 0 || st.st_size == 0) {
      unproduced.push_back(batch[k]);
      if (crashed) {
        std::string tail = logTail(root.path() + "/soffice.log");
        job.error = WIFSIGNALED(run.status)
                        ? msg::text(msg::kConvertStoppedSignal, WTERMSIG(run.status))
                        : msg::text(msg::kConvertStoppedStatus, WEXITSTATUS(run.status));
        if (!tail.empty())
          job.error += msg::text(msg::kConvertLogTail, tail);
      } else {
        job.error = msg::kConvertCouldNot;
      }
      continue;
    }
    if (!startsWith(readHead(produced, format.magic.size()), format.magic)) {
      job.error = msg::text(msg::kConvertDamagedOutput, format.name);
      continue;
    }
    job.error = moveIntoPlace(produced, job.output);
    job.ok = job.error.empty();
  }
  // soffice converts its files in the order given, so one that crashed died on the first file
  // it left without output. That file keeps the crash as its error; the files after it, which
  // soffice never reached, get a start of their own. A hostile file costs itself and one start,
  // not the files that came after it.
  if (!handed && crashed && unproduced.size() > 1) {
    const bool barren = unproduced.size() == todo.size();
    if (!barren || barrenCrashes + 1 < kMaxBarrenCrashes) {
      ConvertOptions alone = options;
      alone.office = nullptr;
      convertBatch(jobs, std::vector<size_t>(unproduced.begin() + 1, unproduced.end()), format,
                   soffice, alone, barren ? barrenCrashes + 1 : 0, afterTimeout);
    }
  }
  // One that ran out of time (on its own or in the kept office) hung on the first file it left
  // without output, or on the last when it had written them all. That file keeps the time-out
  // as its error; the others get one start of their own, the ones it had written too (an output
  // it was writing when it was killed may be partial). A second time-out ends it there: a
  // LibreOffice that hangs again must not cost the batch a time limit per file.
  if (run.timedOut && !afterTimeout) {
    std::vector<size_t> again;
    for (size_t k : todo)
      if (k != hungOn)
        again.push_back(batch[k]);
    if (!again.empty()) {
      ConvertOptions alone = options;
      alone.office = nullptr;
      convertBatch(jobs, again, format, soffice, alone, barrenCrashes, true);
    }
  }
  // Files the office left unconverted, when it did not run out of time, get a start of their
  // own: whatever went wrong there (it ended under them, or gave up on one file and with it on
  // the rest) costs a start, not the files.
  if (handed && !run.timedOut) {
    std::vector<size_t> again;
    for (size_t k : todo)
      if (!jobs[batch[k]].ok)
        again.push_back(batch[k]);
    if (!again.empty()) {
      ConvertOptions alone = options;
      alone.office = nullptr;
      convertBatch(jobs, again, format, soffice, alone, barrenCrashes, afterTimeout);
    }
  }
}

} // namespace

std::string findSoffice() {
  for (const char* path : {"/usr/bin/soffice", "/usr/lib/libreoffice/program/soffice"})
    if (isExecutableFile(path))
      return path;
  const char* env = std::getenv("PATH");
  std::string dirs = env ? env : "";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos)
      end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    start = end + 1;
    if (dir.empty() || dir[0] != '/')
      continue; // a relative PATH entry depends on the cwd
    std::string candidate = dir + "/soffice";
    if (isExecutableFile(candidate))
      return candidate;
  }
  return {};
}

std::string sofficeMallocTunables(const char* callers) {
  std::string tunables =
      "GLIBC_TUNABLES=glibc.malloc.mmap_max=0:glibc.malloc.trim_threshold=268435456";
  if (callers && *callers)
    tunables += std::string(":") + callers;
  return tunables;
}

std::string sofficePipeName(const std::string& profileUrl) {
  std::string utf16;
  if (!base::convertFromUtf8(profileUrl, "UTF-16LE", utf16))
    utf16 = profileUrl; // not UTF-8: no LibreOffice names a pipe after it
  std::string name = fmt::format("OSL_PIPE_{}_SingleOfficeIPC_", ::getuid());
  for (std::uint8_t byte : base::md5(utf16))
    name += fmt::format("{:x}", byte);
  return name;
}

std::string sofficeMissingMessage() {
  return msg::kConvertNoLibreOffice;
}

unsigned sofficeLaunchCount() {
  return gLaunches.load();
}

ConvertOptions ConvertOptions::onEveryCore() {
  ConvertOptions options;
  options.parallelStarts = std::max(1u, std::thread::hardware_concurrency());
  return options;
}

void convertFiles(std::vector<ConversionJob>& jobs, const ConvertOptions& options) {
  std::map<const Format*, std::vector<size_t>> byFormat;
  for (size_t i = 0; i < jobs.size(); ++i) {
    ConversionJob& job = jobs[i];
    job.ok = false;
    job.error.clear();
    const Format* format = formatFor(job);
    job.error = precheck(job, format);
    if (job.error.empty())
      byFormat[format].push_back(i);
  }
  if (byFormat.empty())
    return;

  std::string soffice = options.soffice.empty() ? findSoffice() : options.soffice;
  if (soffice.empty() || !isExecutableFile(soffice)) {
    for (auto& [format, indexes] : byFormat)
      for (size_t i : indexes)
        jobs[i].error = sofficeMissingMessage();
    return;
  }
  // The starts: each format's inputs in runs of at most perCall, and over at least as many
  // starts as may run at once.
  const size_t perCall = std::max<size_t>(options.maxFilesPerCall, 1);
  const size_t parallel = std::max<size_t>(options.parallelStarts, 1);
  std::vector<std::pair<const Format*, std::vector<size_t>>> starts;
  for (auto& [format, indexes] : byFormat) {
    const size_t n = indexes.size();
    const size_t count = std::max((n + perCall - 1) / perCall, std::min(parallel, n));
    for (size_t s = 0, from = 0; s < count; ++s) {
      const size_t to = from + (n - from) / (count - s);
      starts.emplace_back(format,
                          std::vector<size_t>(indexes.begin() + static_cast<std::ptrdiff_t>(from),
                                              indexes.begin() + static_cast<std::ptrdiff_t>(to)));
      from = to;
    }
  }
  const size_t threads = std::min(parallel, starts.size());
  if (threads <= 1) {
    for (auto& [format, batch] : starts)
      convertBatch(jobs, batch, *format, soffice, options);
    return;
  }
  // Each start writes only its own jobs' results.
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < starts.size(); i = next++)
      convertBatch(jobs, starts[i].second, *starts[i].first, soffice, options);
  };
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break; // no thread to be had: the ones there are do the rest
    }
  }
  work();
  for (auto& thread : pool)
    thread.join();
}

KeptOffice::KeptOffice() : state_(std::make_unique<State>()) {}

KeptOffice::~KeptOffice() {
  endOffice(*state_);
}

unsigned KeptOffice::launches() const {
  return state_->launches;
}

bool KeptOffice::running() const {
  return officeAlive(*state_);
}

void convertFile(const std::string& input, const std::string& output) {
  std::vector<ConversionJob> jobs(1);
  jobs[0].input = input;
  jobs[0].output = output;
  convertFiles(jobs);
  if (!jobs[0].ok)
    throw DocumentError(input, "", jobs[0].error);
}

} // namespace word
