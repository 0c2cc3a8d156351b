#include "settings/inifile.h"

#include <fmt/format.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
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

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i]))
      return false;
  return true;
}

// One iconv conversion descriptor, closed on scope exit.
class Converter {
public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid())
      iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; an invalid input byte is either replaced by `replacement` and skipped
  // (when `replacement` is not null) or ends the conversion with false.
  bool run(std::string_view input, std::string& out, const char* replacement) {
    out.clear();
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
      char* o = buffer;
      std::size_t oLeft = sizeof buffer;
      std::size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buffer, static_cast<std::size_t>(o - buffer));
      if (r != static_cast<std::size_t>(-1))
        continue;
      if (errno == E2BIG)
        continue;
      if (!replacement)
        return false;
      out += replacement;
      ++in;
      --inLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* o = buffer;
    std::size_t oLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &o, &oLeft); // flush any shift state
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    return true;
  }

private:
  iconv_t cd_;
};

constexpr const char* kReplacement = "\xEF\xBF\xBD"; // U+FFFD

std::string decode(std::string_view raw, IniEncoding encoding) {
  if (encoding == IniEncoding::Utf8)
    return std::string(raw);
  return gb18030ToUtf8(raw);
}

bool encode(std::string_view utf8, IniEncoding encoding, std::string& out) {
  if (encoding == IniEncoding::Utf8) {
    out.assign(utf8);
    return true;
  }
  return utf8ToGb18030(utf8, out);
}

bool hasUtf16Bom(std::string_view bytes) {
  return bytes.size() >= 2 &&
         ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

IniEncoding detectEncoding(std::string_view bytes) {
  return isValidUtf8(bytes) ? IniEncoding::Utf8 : IniEncoding::Gb18030;
}

// The line ending the file uses (that of its first line); LF for a file without one.
std::string_view lineEnding(std::string_view bytes) {
  std::size_t nl = bytes.find('\n');
  if (nl != std::string_view::npos && nl > 0 && bytes[nl - 1] == '\r')
    return "\r\n";
  return "\n";
}

enum class ReadStatus { Ok, Missing, Failed };

ReadStatus readFile(const fs::path& path, std::string& bytes, std::string& error) {
  bytes.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT)
      return ReadStatus::Missing;
    error =
        fmt::format("{}: cannot read the settings file: {}", path.string(), std::strerror(errno));
    return ReadStatus::Failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = fmt::format("{}: cannot read the settings file: not a regular file", path.string());
    return ReadStatus::Failed;
  }
  if (static_cast<std::uintmax_t>(st.st_size) > IniFile::maxFileSize) {
    ::close(fd);
    error = fmt::format("{}: cannot read the settings file: larger than {} bytes", path.string(),
                        IniFile::maxFileSize);
    return ReadStatus::Failed;
  }
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error =
          fmt::format("{}: cannot read the settings file: {}", path.string(), std::strerror(errno));
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
      error = fmt::format("{}: cannot read the settings file: larger than {} bytes", path.string(),
                          IniFile::maxFileSize);
      return ReadStatus::Failed;
    }
  }
  ::close(fd);
  if (hasUtf16Bom(bytes)) {
    bytes.clear();
    error = fmt::format("{}: cannot read the settings file: UTF-16 text is not supported; "
                        "save it as UTF-8",
                        path.string());
    return ReadStatus::Failed;
  }
  return ReadStatus::Ok;
}

bool hasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Why a section, key or value cannot be written, or "" when it can.
std::string checkWrite(std::string_view section, std::string_view key, std::string_view value) {
  auto checkName = [](std::string_view what, std::string_view name) -> std::string {
    if (name.empty())
      return fmt::format("the {} name is empty", what);
    if (hasLineBreakOrNul(name) || !isValidUtf8(name))
      return fmt::format("the {} name \"{}\" holds a line break, a NUL or invalid UTF-8", what,
                         name);
    if (trim(name).size() != name.size())
      return fmt::format("the {} name \"{}\" begins or ends with a blank", what, name);
    return {};
  };
  if (auto e = checkName("section", section); !e.empty())
    return e;
  if (section.find(']') != std::string_view::npos)
    return fmt::format("the section name \"{}\" holds ']'", section);
  if (auto e = checkName("key", key); !e.empty())
    return e;
  if (key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
    return fmt::format("the key name \"{}\" holds '=' or begins with '[' or ';'", key);
  if (hasLineBreakOrNul(value) || !isValidUtf8(value))
    return fmt::format("the value of {}/{} holds a line break, a NUL or invalid UTF-8", section,
                       key);
  return {};
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size(), i = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
      len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0)
        lo = 0xA0; // no overlong forms
      if (c == 0xED)
        hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0)
        lo = 0x90;
      if (c == 0xF4)
        hi = 0x8F; // nothing above U+10FFFF
    } else
      return false;
    if (n - i < len)
      return false;
    if (s[i + 1] < lo || s[i + 1] > hi)
      return false;
    for (std::size_t k = 2; k < len; ++k)
      if (s[i + k] < 0x80 || s[i + k] > 0xBF)
        return false;
    i += len;
  }
  return true;
}

std::string gb18030ToUtf8(std::string_view bytes) {
  std::string out;
  Converter cv("UTF-8", "GB18030");
  if (cv.valid() && cv.run(bytes, out, kReplacement))
    return out;
  // Without the converter, keep ASCII and mark everything else.
  out.clear();
  for (char c : bytes)
    if (static_cast<unsigned char>(c) < 0x80)
      out += c;
    else
      out += kReplacement;
  return out;
}

bool utf8ToGb18030(std::string_view utf8, std::string& out) {
  if (!isValidUtf8(utf8))
    return false;
  Converter cv("GB18030", "UTF-8");
  return cv.valid() && cv.run(utf8, out, nullptr);
}

IniWriteResult writeFileAtomically(const fs::path& path, std::string_view bytes) {
  auto fail = [&](std::string_view reason) {
    return IniWriteResult{
        false, fmt::format("{}: cannot write the settings file: {}", path.string(), reason)};
  };
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec)
      target = resolved;
  }
  fs::path folder = target.parent_path();
  if (folder.empty())
    folder = ".";

  struct stat old {};
  bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode))
    return fail("it is not a regular file");

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
    return fail(fmt::format("cannot create a temporary file in {}: {}", folder.string(),
                            std::strerror(errno)));

  auto abandon = [&](std::string_view what) {
    std::string reason = fmt::format("{}: {}", what, std::strerror(errno));
    if (fd >= 0)
      ::close(fd);
    ::unlink(temp.c_str());
    return fail(reason);
  };
  if (existed) {
    if (::fchmod(fd, old.st_mode & 07777) != 0)
      return abandon("cannot set the permissions of the new file");
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
      return abandon("cannot write the temporary file");
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0)
    return abandon("cannot flush the temporary file to disk");
  int closed = ::close(fd);
  fd = -1;
  if (closed != 0)
    return abandon("cannot close the temporary file");
  if (::rename(temp.c_str(), target.c_str()) != 0)
    return abandon("cannot replace the file");
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
  readError_.clear();
  if (readFile(path_, bytes, readError_) != ReadStatus::Ok)
    bytes.clear();
  IniEncoding encoding = detectEncoding(bytes);
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
    return {false, fmt::format("{}: cannot write the settings file: {}", path_.string(), why)};

  // Work on the file as it is now, so that changes made by another program are kept.
  std::string current, error;
  if (readFile(path_, current, error) == ReadStatus::Failed)
    return {false, error};
  IniEncoding encoding = detectEncoding(current);
  adopt(std::move(current), encoding);
  readError_.clear();

  std::string encSection, encKey, encValue;
  if (!encode(section, encoding_, encSection) || !encode(key, encoding_, encKey) ||
      !encode(value, encoding_, encValue))
    return {false, fmt::format("{}: cannot write the settings file: {}/{} cannot be written in "
                               "the file's encoding",
                               path_.string(), section, key)};

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
  IniWriteResult result = writeFileAtomically(path_, next);
  if (result)
    adopt(std::move(next), encoding_);
  return result;
}

} // namespace settings
