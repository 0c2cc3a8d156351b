#include "settings/inifile.h"

#include "base/ascii.h"
#include "base/encoding.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "base/utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings {

namespace fs = std::filesystem;

namespace {

// Blanks around names and values. All are below 0x40, so none of them can be the trail byte of
// a GB18030 character, and the line structure can be found on the raw bytes in either encoding.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

using base::equalsNoCase;
using base::isValidUtf8;
using base::sanitizedUtf8;

struct Utf8Scan {
  std::size_t wide = 0;    // valid sequences of three or four bytes (CJK text and beyond)
  std::size_t invalid = 0; // bytes that begin no valid sequence
};

Utf8Scan scanUtf8(std::string_view bytes) {
  Utf8Scan scan;
  for (std::size_t i = 0, n = bytes.size(); i < n;) {
    std::size_t len = base::utf8SequenceLength(bytes, i);
    if (len == 0) {
      ++scan.invalid;
      ++i;
      continue;
    }
    if (len > 2)
      ++scan.wide;
    i += len;
  }
  return scan;
}

std::string decode(std::string_view raw, IniEncoding encoding) {
  if (encoding == IniEncoding::Utf8)
    return sanitizedUtf8(raw);
  return base::decodeToUtf8(raw, "GB18030");
}

bool encode(std::string_view utf8, IniEncoding encoding, std::string& out) {
  if (encoding == IniEncoding::Utf8) {
    out.assign(utf8);
    return true;
  }
  return base::convertFromUtf8(utf8, "GB18030", out);
}

bool hasUtf16Bom(std::string_view bytes) {
  return bytes.size() >= 2 &&
         ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

// Bytes that no settings file holds: C0 controls other than the blanks and line breaks, and
// DEL. A NUL inside a value is tolerated (the value ends there), a file full of them is not.
bool isControlByte(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') || c == 0x7F;
}

// What the bytes of a file are: which encoding explains them, how many bytes of it are
// undecodable in that encoding, and whether it is text at all.
struct Analysis {
  IniEncoding encoding = IniEncoding::Utf8;
  std::size_t replaced = 0; // bytes read as U+FFFD
  std::size_t controls = 0; // control bytes
  bool text = true;
};

Analysis analyse(std::string_view bytes) {
  Analysis a;
  for (char c : bytes)
    if (isControlByte(static_cast<unsigned char>(c)))
      ++a.controls;
  Utf8Scan utf8 = scanUtf8(bytes);
  // GB18030 takes almost any pair of high bytes, UTF-8 very few: a three- or four-byte UTF-8
  // sequence is strong evidence of UTF-8 (GB18030 text rarely forms one), a byte UTF-8 cannot
  // read is evidence of GB18030. So a file is GB18030 only when its stray bytes outnumber its
  // UTF-8 characters and GB18030 reads more of it than UTF-8 does; a UTF-8 file with a few
  // stray bytes stays UTF-8.
  if (utf8.invalid > utf8.wide) {
    std::size_t gbInvalid = 0;
    base::decodeToUtf8(bytes, "GB18030", &gbInvalid);
    if (gbInvalid < utf8.invalid) {
      a.encoding = IniEncoding::Gb18030;
      a.replaced = gbInvalid;
    }
  }
  if (a.encoding == IniEncoding::Utf8)
    a.replaced = utf8.invalid;
  // Text holds at most a few odd bytes; anything else (a picture, a program, random bytes,
  // UTF-16 without a byte-order mark) is no settings file, whatever its name.
  const std::size_t odd = a.controls + a.replaced;
  a.text = odd < 4 || odd * 16 <= bytes.size();
  return a;
}

// The line ending the file uses (that of its first line); LF for a file without one.
std::string_view lineEnding(std::string_view bytes) {
  std::size_t nl = bytes.find('\n');
  if (nl != std::string_view::npos && nl > 0 && bytes[nl - 1] == '\r')
    return "\r\n";
  return "\n";
}

enum class ReadStatus { Ok, Missing, Failed };

std::string readFailure(const fs::path& path, std::string_view reason) {
  return msg::text(msg::kSettingsCannotRead, path.string(), reason);
}

// Reads the file's bytes. A missing file is Missing; anything that is not a readable regular
// text file of a sane size is Failed with the reason in `error`.
ReadStatus readFile(const fs::path& path, std::string& bytes, std::string& error) {
  bytes.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT)
      return ReadStatus::Missing;
    error = readFailure(path, systemErrorText(errno));
    return ReadStatus::Failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = readFailure(path, msg::kSettingsNotRegularFile);
    return ReadStatus::Failed;
  }
  const std::string tooLarge = msg::text(msg::kSettingsTooLarge, IniFile::maxFileSize);
  if (static_cast<std::uintmax_t>(st.st_size) > IniFile::maxFileSize) {
    ::close(fd);
    error = readFailure(path, tooLarge);
    return ReadStatus::Failed;
  }
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = readFailure(path, systemErrorText(errno));
      ::close(fd);
      bytes.clear();
      return ReadStatus::Failed;
    }
    if (n == 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > IniFile::maxFileSize) {
      ::close(fd);
      bytes.clear();
      error = readFailure(path, tooLarge);
      return ReadStatus::Failed;
    }
  }
  ::close(fd);
  if (hasUtf16Bom(bytes)) {
    bytes.clear();
    error = msg::text(msg::kSettingsUtf16, path.string());
    return ReadStatus::Failed;
  }
  return ReadStatus::Ok;
}

// Reads and judges the file: its bytes and encoding, or Failed for a file that is not text.
// `warning` tells of bytes that had to be replaced.
ReadStatus loadFile(const fs::path& path, std::string& bytes, IniEncoding& encoding,
                    std::string& error, std::string& warning) {
  encoding = IniEncoding::Utf8;
  warning.clear();
  ReadStatus status = readFile(path, bytes, error);
  if (status != ReadStatus::Ok)
    return status;
  Analysis a = analyse(bytes);
  if (!a.text) {
    error = msg::text(msg::kSettingsNotText, path.string(), bytes.size(), a.controls + a.replaced);
    bytes.clear();
    return ReadStatus::Failed;
  }
  encoding = a.encoding;
  if (a.replaced > 0)
    warning = msg::text(msg::kSettingsBytesReplaced, path.string(), a.replaced,
                        a.encoding == IniEncoding::Utf8 ? "UTF-8" : "GB18030");
  return ReadStatus::Ok;
}

bool hasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Why a section, key or value cannot be written, or "" when it can.
std::string checkWrite(std::string_view section, std::string_view key, std::string_view value) {
  auto checkName = [](const char* what, std::string_view name) -> std::string {
    if (name.empty())
      return msg::text(msg::kSettingsNameEmpty, what);
    if (hasLineBreakOrNul(name) || !isValidUtf8(name))
      return msg::text(msg::kSettingsNameBadChar, what, sanitizedUtf8(name));
    if (trim(name).size() != name.size())
      return msg::text(msg::kSettingsNameBlanks, what, name);
    return {};
  };
  if (auto e = checkName(msg::kSettingsSectionWord, section); !e.empty())
    return e;
  if (section.find(']') != std::string_view::npos)
    return msg::text(msg::kSettingsSectionBracket, section);
  if (auto e = checkName(msg::kSettingsKeyWord, key); !e.empty())
    return e;
  if (key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
    return msg::text(msg::kSettingsKeyBadStart, key);
  if (hasLineBreakOrNul(value) || !isValidUtf8(value))
    return msg::text(msg::kSettingsValueBadChar, section, key);
  return {};
}

// The file a write replaces: `path`, or the target of the symbolic link `path` is.
fs::path writeTarget(const fs::path& path) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec)
      return resolved;
  }
  return path;
}

// An exclusive advisory lock on a lock file beside the settings file, held for one
// read-modify-rename so that writers in other processes (and threads) take turns. The lock
// file stays: removing it would let two writers lock two different files.
class WriteLock {
public:
  explicit WriteLock(const fs::path& target) {
    fs::path folder = target.parent_path();
    lockPath_ =
        (folder.empty() ? fs::path(".") : folder) / ("." + target.filename().string() + ".lock");
    fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = errno;
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~WriteLock() {
    if (fd_ >= 0)
      ::close(fd_); // releases the lock
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;
  bool held() const { return fd_ >= 0; }
  int error() const { return error_; }
  const fs::path& path() const { return lockPath_; }

private:
  fs::path lockPath_;
  int fd_ = -1;
  int error_ = 0;
};

// True when the existing regular file `st` describes must not be written: no write bit at
// all (the superuser could write it, but the user marked it read-only), or none for us.
bool isReadOnly(const fs::path& target, const struct stat& st) {
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return true;
  return ::access(target.c_str(), W_OK) != 0 && errno == EACCES;
}

} // namespace

std::string systemErrorText(int errnum) {
  return msg::systemError(errnum);
}

IniWriteResult writeFileAtomically(const fs::path& path, std::string_view bytes) {
  auto fail = [&](std::string_view reason) {
    return IniWriteResult{false, msg::text(msg::kSettingsCannotWrite, path.string(), reason)};
  };
  const fs::path target = writeTarget(path);
  fs::path folder = target.parent_path();
  if (folder.empty())
    folder = ".";

  struct stat old {};
  bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode))
    return fail(msg::kSettingsNotRegularFile);
  // The rename would replace a read-only file as easily as any other: refuse it instead.
  if (existed && isReadOnly(target, old))
    return fail(msg::kSettingsReadOnly);

  static std::atomic<unsigned> counter{0};
  fs::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    temp = folder / fmt::format(".{}.{}-{}-{:x}.tmp", target.filename().string(), ::getpid(),
                                counter++, static_cast<unsigned long long>(stamp) & 0xFFFFFF);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      break;
  }
  if (fd < 0)
    return fail(msg::text(msg::kSettingsTempFailed, folder.string(), systemErrorText(errno)));

  auto abandon = [&](const char* what) {
    std::string reason = msg::text(msg::kSettingsWriteStepFailed, what, systemErrorText(errno));
    if (fd >= 0)
      ::close(fd);
    ::unlink(temp.c_str());
    return fail(reason);
  };
  if (existed) {
    if (::fchmod(fd, old.st_mode & 07777) != 0)
      return abandon(msg::kSettingsStepPermissions);
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only the superuser may give the file away; the current owner is then kept.
    }
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return abandon(msg::kSettingsStepWrite);
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0)
    return abandon(msg::kSettingsStepFlush);
  int closed = ::close(fd);
  fd = -1;
  if (closed != 0)
    return abandon(msg::kSettingsStepClose);
  if (::rename(temp.c_str(), target.c_str()) != 0)
    return abandon(msg::kSettingsStepRename);
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd); // makes the rename durable; the file is already in place either way
    ::close(dirFd);
  }
  return {};
}

IniFile::IniFile(fs::path path) : path_(std::move(path)) {
  reload();
}

void IniFile::reload() {
  std::string bytes;
  IniEncoding encoding = IniEncoding::Utf8;
  readError_.clear();
  if (loadFile(path_, bytes, encoding, readError_, readWarning_) != ReadStatus::Ok)
    bytes.clear();
  adopt(std::move(bytes), encoding);
}

void IniFile::adopt(std::string bytes, IniEncoding encoding) {
  bytes_ = std::move(bytes);
  encoding_ = encoding;
  lines_.clear();
  std::string_view all = bytes_;
  std::size_t pos = 0;
  while (pos < all.size()) {
    Line line;
    line.begin = pos;
    std::size_t nl = all.find('\n', pos);
    if (nl == std::string_view::npos) {
      line.contentEnd = line.end = all.size();
    } else {
      line.end = nl + 1;
      line.contentEnd = (nl > pos && all[nl - 1] == '\r') ? nl - 1 : nl;
    }
    pos = line.end;

    std::size_t p = line.begin;
    if (p == 0 && all.substr(0, 3) == "\xEF\xBB\xBF")
      p = 3; // a byte-order mark is not part of the first line's text
    while (p < line.contentEnd && isBlank(all[p]))
      ++p;
    std::string_view content = all.substr(p, line.contentEnd - p);
    if (content.empty()) {
      line.kind = Line::Kind::Blank;
    } else if (content.front() == ';') {
      line.kind = Line::Kind::Comment;
    } else if (content.front() == '[') {
      // ']' may be a GB18030 trail byte, so the name is looked for in the decoded text.
      std::string text = decode(content.substr(1), encoding_);
      std::size_t close = text.find(']');
      if (close != std::string::npos) {
        line.kind = Line::Kind::Section;
        line.name = std::string(trim(std::string_view(text).substr(0, close)));
      }
    } else if (std::size_t eq = content.find('='); eq != std::string_view::npos) {
      // '=' is never a GB18030 trail byte: the first one on the raw line ends the name.
      line.kind = Line::Kind::Key;
      line.name = decode(trim(content.substr(0, eq)), encoding_);
      std::size_t v = p + eq + 1;
      while (v < line.contentEnd && isBlank(all[v]))
        ++v;
      line.valueBegin = v;
      std::string_view raw = all.substr(v, line.contentEnd - v);
      raw = raw.substr(0, raw.find('\0'));
      std::string value = decode(trim(raw), encoding_);
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      line.value = std::move(value);
    }
    lines_.push_back(std::move(line));
  }
}

const IniFile::Line* IniFile::findKey(std::string_view section, std::string_view key) const {
  std::size_t i = 0;
  while (i < lines_.size() &&
         !(lines_[i].kind == Line::Kind::Section && equalsNoCase(lines_[i].name, section)))
    ++i;
  if (i == lines_.size())
    return nullptr;
  for (++i; i < lines_.size() && lines_[i].kind != Line::Kind::Section; ++i)
    if (lines_[i].kind == Line::Kind::Key && equalsNoCase(lines_[i].name, key))
      return &lines_[i];
  return nullptr;
}

std::string IniFile::get(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const {
  if (const Line* line = findKey(section, key))
    return line->value;
  while (!defaultValue.empty() && (defaultValue.back() == ' ' || defaultValue.back() == '\t'))
    defaultValue.remove_suffix(1);
  return std::string(defaultValue);
}

bool IniFile::contains(std::string_view section, std::string_view key) const {
  return findKey(section, key) != nullptr;
}

IniWriteResult IniFile::set(std::string_view section, std::string_view key,
                            std::string_view value) {
  if (std::string why = checkWrite(section, key, value); !why.empty())
    return {false, msg::text(msg::kSettingsCannotWrite, path_.string(), why)};

  // Writers take turns: the file is read, changed and replaced under one lock, so a change
  // another writer made meanwhile is read here and kept.
  const fs::path target = writeTarget(path_);
  WriteLock lock(target);
  if (!lock.held())
    return {false, msg::text(msg::kSettingsCannotWrite, path_.string(),
                             msg::text(msg::kSettingsLockFailed, lock.path().string(),
                                       systemErrorText(lock.error())))};

  std::string current, error, warning;
  IniEncoding encoding = IniEncoding::Utf8;
  if (loadFile(path_, current, encoding, error, warning) == ReadStatus::Failed)
    return {false, msg::text(msg::kSettingsUnreadableNotWritten, error)};
  adopt(std::move(current), encoding);
  readError_.clear();
  readWarning_ = std::move(warning);

  std::string encSection, encKey, encValue;
  if (!encode(section, encoding_, encSection) || !encode(key, encoding_, encKey) ||
      !encode(value, encoding_, encValue))
    return {false, msg::text(msg::kSettingsCannotWrite, path_.string(),
                             msg::text(msg::kSettingsNotEncodable, section, key))};

  std::string_view all = bytes_;
  std::string_view eol = lineEnding(all);
  std::string next;

  std::size_t s = 0;
  while (s < lines_.size() &&
         !(lines_[s].kind == Line::Kind::Section && equalsNoCase(lines_[s].name, section)))
    ++s;
  if (s < lines_.size()) {
    // The section exists: change its key, or add the key after its last entry.
    std::size_t anchor = s;
    const Line* found = nullptr;
    for (std::size_t i = s + 1; i < lines_.size() && lines_[i].kind != Line::Kind::Section; ++i) {
      if (lines_[i].kind == Line::Kind::Key || lines_[i].kind == Line::Kind::Other)
        anchor = i;
      if (!found && lines_[i].kind == Line::Kind::Key && equalsNoCase(lines_[i].name, key))
        found = &lines_[i];
    }
    if (found) {
      next.append(all.substr(0, found->valueBegin));
      next.append(encValue);
      next.append(all.substr(found->contentEnd));
    } else {
      const Line& a = lines_[anchor];
      next.append(all.substr(0, a.end));
      if (a.end == a.contentEnd) // the last line of the file, without a line ending
        next.append(eol);
      next.append(encKey).append("=").append(encValue);
      if (a.end != a.contentEnd)
        next.append(eol);
      next.append(all.substr(a.end));
    }
  } else {
    // A new section at the end of the file, set off by a blank line.
    next.assign(all);
    if (!next.empty()) {
      if (next.back() != '\n')
        next.append(eol);
      if (lines_.back().kind != Line::Kind::Blank)
        next.append(eol);
    }
    next.append("[").append(encSection).append("]").append(eol);
    next.append(encKey).append("=").append(encValue).append(eol);
  }

  if (next == bytes_)
    return {};
  // The changed file must read as this one does: still text, and in the same encoding unless
  // it holds nothing but ASCII. A file on the edge (many stray bytes) could tip over and read
  // as garbage or in the other encoding; it is refused rather than damaged.
  const Analysis after = analyse(next);
  const bool ascii = std::all_of(next.begin(), next.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!after.text || (after.encoding != encoding_ && !ascii))
    return {false,
            msg::text(msg::kSettingsCannotWrite, path_.string(), msg::kSettingsWouldMisread)};
  IniWriteResult result = writeFileAtomically(path_, next);
  if (result)
    adopt(std::move(next), encoding_);
  return result;
}

} // namespace settings
