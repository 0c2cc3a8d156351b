#pragma once
// A private-profile (.ini) file with the semantics of the Windows profile functions, written
// so that an edit never disturbs the rest of the file.
//
// Reading: a line "[name]" opens a section; a line "key=value" holds a value; lines whose first
// non-blank character is ';' are comments. Section and key names are matched without regard to
// ASCII case. A value is trimmed of spaces and tabs, ends at its first NUL byte and loses one
// pair of enclosing quotation marks (both '"' or both '\''). Values have no length limit.
// Only the first section of a name is searched, and in it the first key of a name.
//
// Encoding: a file that is valid UTF-8 (an empty or missing file included) is UTF-8. A file
// with bytes that are not UTF-8 is still UTF-8 when those bytes are fewer than the bytes of its
// UTF-8 characters (a Latin-1 comment, a character cut at the end): they read as U+FFFD and
// readWarning() says so. It is GB18030, the code page older installations wrote, only when it
// has more stray bytes than UTF-8 and GB18030 explains most of its non-ASCII bytes. Names and
// values cross this interface as UTF-8 whatever the file holds, and a write keeps the file's
// encoding, so a file never mixes two encodings. A file that begins with a UTF-16 byte-order
// mark, and a file that is not text (control bytes or undecodable bytes in more than one byte
// of 16), is not read: it reads as empty with readError() set, and is never written.
//
// Writing: every write locks a lock file beside the settings file (".setup.ini.lock", an
// advisory flock), then reads, changes and replaces the file, so concurrent writers in any
// number of processes and threads lose nothing. A read-only file is refused, not replaced.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

enum class IniEncoding { Utf8, Gb18030 };

// Outcome of a write. On failure `error` names the file and the reason, and the file on disk
// is exactly as it was before the call.
struct IniWriteResult {
  bool ok = true;
  std::string error;
  explicit operator bool() const { return ok; }
};

class IniFile {
public:
  // Binds to `path` and reads it. A missing file reads as empty; an unreadable one (no rights,
  // a folder, larger than maxFileSize, UTF-16) reads as empty and sets readError().
  explicit IniFile(std::filesystem::path path);

  static constexpr std::size_t maxFileSize = 16u << 20;

  const std::filesystem::path& path() const { return path_; }

  // Reads the file again from disk (the settings are taken afresh before every run).
  void reload();

  // Why the last read found nothing usable; empty when the file was read or does not exist.
  const std::string& readError() const { return readError_; }

  // What the last read had to mend (bytes read as U+FFFD); empty when nothing.
  const std::string& readWarning() const { return readWarning_; }

  // Encoding of the file as last read or written.
  IniEncoding encoding() const { return encoding_; }

  // The value of `key` in `section`, or `defaultValue` (with trailing blanks removed, as the
  // Windows function does) when the file, the section or the key is missing.
  std::string get(std::string_view section, std::string_view key,
                  std::string_view defaultValue) const;

  // True when `section` holds `key` (so get() would not fall back on its default).
  bool contains(std::string_view section, std::string_view key) const;

  // Sets `key` in `section` to `value`, written as given. The file is read afresh from disk,
  // then only that key's value changes; a missing key is added after the last entry of its
  // section and a missing section is appended at the end of the file, in the file's line
  // endings (LF for a new file). Every other byte stays as it was. The new file replaces the
  // old one atomically (temporary file in the same folder, fsync, rename), following a
  // symbolic link to its target, all under the write lock. Nothing is written when the content
  // would not change.
  // Refused without touching the file: names or values with CR, LF or NUL or that are not
  // UTF-8, empty names or names with surrounding blanks, a section name with ']', a key name
  // with '=' or beginning with '[' or ';', a file that could not be read (other than a missing
  // one) or is not text, and a read-only file. Never throws; the result says what happened.
  [[nodiscard]] IniWriteResult set(std::string_view section, std::string_view key,
                                   std::string_view value);

private:
  // One line of the file: its byte range and what it holds.
  struct Line {
    enum class Kind { Blank, Comment, Section, Key, Other };
    Kind kind = Kind::Other;
    std::size_t begin = 0, contentEnd = 0, end = 0; // content excludes the line ending
    std::string name;                               // section or key name (UTF-8)
    std::size_t valueBegin = 0;                     // bytes [valueBegin, contentEnd) are the value
    std::string value;                              // the value as get() returns it (UTF-8)
  };

  void adopt(std::string bytes, IniEncoding encoding);
  const Line* findKey(std::string_view section, std::string_view key) const;

  std::filesystem::path path_;
  std::string bytes_; // the file as last read or written
  IniEncoding encoding_ = IniEncoding::Utf8;
  std::vector<Line> lines_;
  std::string readError_;
  std::string readWarning_;
};

// A system error number as a short Chinese reason.
std::string systemErrorText(int errnum);

// Replaces `path` by a file holding `bytes`: temporary file in the same folder, fsync, rename,
// fsync of the folder. An existing file keeps its permission bits; a new one gets 0666 less the
// umask. An existing file without write permission is refused. A symbolic link is followed, so the
// link stays and its target is replaced. On failure the old file is untouched and the temporary
// file removed.
IniWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace settings
