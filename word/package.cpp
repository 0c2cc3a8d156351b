#include "word/package.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include "base/ascii.h"
#include "base/encoding.h"
#include "base/interrupt.h"
#include "base/messages.h"
#include "base/process.h"
#include "base/system_error.h"
#include "base/utf8.h"
#include "word/error.h"
#include "word/internal/shared_xml.h"
#include "word/internal/xmlns.h"

namespace word {

namespace fs = std::filesystem;

struct Package::Entry {
  std::string name;
  std::string data; // inflated bytes as read or last set
  // The bytes `doc` was parsed from in place (its names and texts point into them), for a part
  // whose bytes as read are not kept beside its tree; declared before `doc`, so it goes after.
  std::string held;
  std::unique_ptr<pugi::xml_document> doc; // parsed on first use
  bool dirty = false;                      // doc changed: serialise instead of copying data
  bool stored = false;                     // written without compression
};

namespace {

constexpr const char* kContentTypes = "[Content_Types].xml";
constexpr const char* kRelsContentType = "application/vnd.openxmlformats-package.relationships+xml";
constexpr const char* kEmptyRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";
constexpr const char* kEmptyTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";

constexpr uint64_t kMiB = 1ull << 20;
constexpr size_t kChunk = 64 * 1024;
// Deflate level of written entries. libzip's default is zlib's best (9), whose long match
// searches cost much on the repetitive markup of a large document.xml; level 3 deflates it in
// less than half the time for about 10 % more bytes (bench/save_path.cpp, BM_Deflate).
constexpr zip_uint32_t kDeflateLevel = 3;

using base::equalsNoCase;
using base::lowerAscii;

std::string mib(uint64_t bytes) {
  return std::to_string((bytes + kMiB - 1) / kMiB) + " MiB";
}

const char* localName(const char* qualified) {
  const char* colon = std::strrchr(qualified, ':');
  return colon ? colon + 1 : qualified;
}

bool isLocal(const pugi::xml_node& n, const char* name) {
  return n.type() == pugi::node_element && std::strcmp(localName(n.name()), name) == 0;
}

// The prefix ("p:") of an element name, used to name new siblings alike.
std::string prefixOf(const pugi::xml_node& n) {
  std::string q = n.name();
  auto colon = q.find(':');
  return colon == std::string::npos ? std::string() : q.substr(0, colon + 1);
}

pugi::xml_node rootElement(pugi::xml_document& doc) {
  return doc.document_element();
}

// Entry names are never used as file-system paths, but a name that would escape a folder when
// unpacked marks a hostile or broken archive, so such archives are refused.
bool unsafeName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos ||
      name.find('\0') != std::string::npos)
    return true;
  if (name.size() >= 2 && name[1] == ':')
    return true; // drive letter
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos)
      end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2)
      return true;
    start = end + 1;
  }
  return false;
}

bool startsWith(const std::string& s, const char* prefix, size_t n) {
  return s.size() >= n && std::memcmp(s.data(), prefix, n) == 0;
}

// Why bytes that libzip refused as "not a zip archive" are not a Word document.
std::string notZipReason(const std::string& bytes) {
  if (startsWith(bytes, "PK", 2))
    return msg::kArchiveTruncated;
  if (startsWith(bytes, "{\\rtf", 5))
    return msg::kNotZipButRtf;
  if (startsWith(bytes, "%PDF", 4))
    return msg::kNotZipButPdf;
  return msg::kNotZip;
}

struct ZipCloser {
  void operator()(zip_t* z) const {
    if (z)
      zip_discard(z);
  }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser {
  void operator()(zip_file_t* f) const {
    if (f)
      zip_fclose(f);
  }
};

// Opens `bytes` as an archive; returns null with `err` set on failure. libzip does not copy the
// buffer: `bytes` must outlive the archive.
ZipPtr openArchive(const std::string& bytes, int flags, zip_error_t* err) {
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, err);
  if (!src)
    return nullptr;
  zip_t* za = zip_open_from_source(src, flags, err);
  if (!za) {
    zip_source_free(src);
    return nullptr;
  }
  return ZipPtr(za);
}

// Finds the name that occurs twice, reopening without the consistency checks that refused it.
std::string findDuplicateName(const std::string& bytes) {
  zip_error_t err;
  zip_error_init(&err);
  ZipPtr za = openArchive(bytes, ZIP_RDONLY, &err);
  zip_error_fini(&err);
  if (!za)
    return {};
  std::set<std::string> seen;
  zip_int64_t n = zip_get_num_entries(za.get(), 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(za.get(), static_cast<zip_uint64_t>(i), 0);
    if (name && !seen.insert(name).second)
      return name;
  }
  return {};
}

std::string openFailureReason(const std::string& bytes, zip_error_t* err) {
  switch (zip_error_code_zip(err)) {
  case ZIP_ER_NOZIP:
    return notZipReason(bytes);
  case ZIP_ER_EXISTS: {
    std::string dup = findDuplicateName(bytes);
    return dup.empty() ? std::string(msg::kDuplicateEntries) : msg::text(msg::kDuplicateEntry, dup);
  }
  case ZIP_ER_INCONS:
    return msg::kArchiveInconsistent;
  case ZIP_ER_MULTIDISK:
    return msg::kArchiveMultiDisk;
  case ZIP_ER_MEMORY:
    return msg::kArchiveNoMemory;
  default:
    return msg::text(msg::kArchiveDamaged, zip_error_strerror(err));
  }
}

std::string entryReadFailure(const std::string& name, zip_error_t* err) {
  switch (zip_error_code_zip(err)) {
  case ZIP_ER_COMPNOTSUPP:
    return msg::text(msg::kEntryMethod, name);
  case ZIP_ER_ENCRNOTSUPP:
  case ZIP_ER_NOPASSWD:
    return msg::text(msg::kEntryEncrypted, name);
  case ZIP_ER_CRC:
    return msg::text(msg::kEntryChecksum, name);
  case ZIP_ER_MEMORY:
    return msg::text(msg::kEntryNoMemory, name);
  default:
    return msg::text(msg::kArchiveDamaged, name + "：" + zip_error_strerror(err));
  }
}

// Line and column of a byte offset, for parse errors a person can look up.
std::string position(const std::string& data, ptrdiff_t offset) {
  size_t end = std::min(static_cast<size_t>(std::max<ptrdiff_t>(offset, 0)), data.size());
  size_t line = 1, col = 1;
  for (size_t i = 0; i < end; ++i) {
    if (data[i] == '\n') {
      ++line;
      col = 1;
    } else {
      ++col;
    }
  }
  return msg::text(msg::kXmlPosition, line, col);
}

// Path of the relationships part of `part` ("" is the package itself).
std::string relsPartOf(const std::string& part) {
  auto slash = part.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
  return dir + "_rels/" + file + ".rels";
}

bool hasUriScheme(const std::string& target) {
  if (target.empty() || !std::isalpha(static_cast<unsigned char>(target[0])))
    return false;
  for (size_t i = 1; i < target.size(); ++i) {
    char c = target[i];
    if (c == ':')
      return i > 1; // one letter before ':' is a drive, not a scheme
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
      return false;
  }
  return false;
}

std::string percentDecode(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// --- the bytes of XML parts ---------------------------------------------------------------------

bool isXmlPartName(const std::string& name) {
  std::string lower = lowerAscii(name);
  return lower.ends_with(".xml") || lower.ends_with(".rels");
}

// The value of encoding="..." in an XML declaration at the start of `data` (ASCII-compatible
// encodings), with [begin, end) its position; "" when there is none.
std::string declaredEncoding(const std::string& data, size_t& begin, size_t& end) {
  size_t start = startsWith(data, "\xEF\xBB\xBF", 3) ? 3 : 0;
  if (data.compare(start, 5, "<?xml") != 0)
    return {};
  size_t close = data.find("?>", start);
  if (close == std::string::npos || close > start + 512)
    return {};
  size_t at = data.find("encoding", start);
  if (at == std::string::npos || at > close)
    return {};
  size_t q = data.find_first_of("\"'", at);
  if (q == std::string::npos || q > close)
    return {};
  size_t qe = data.find(data[q], q + 1);
  if (qe == std::string::npos || qe > close)
    return {};
  begin = q + 1;
  end = qe;
  return data.substr(begin, end - begin);
}

// The iconv name for an encoding a part declares: the Chinese national encodings are read
// as their supersets, as Word and browsers do (files declared GB2312 routinely hold GBK).
std::string iconvNameFor(const std::string& declared) {
  std::string u = base::upperAscii(declared);
  if (u == "GB2312" || u == "GBK" || u == "CP936" || u == "X-GBK" || u == "EUC-CN" ||
      u == "GB_2312-80")
    return "GB18030";
  if (u == "BIG5" || u == "BIG-5" || u == "X-X-BIG5")
    return "CP950";
  return u;
}

bool isUtf8Name(const std::string& declared) {
  std::string l = lowerAscii(declared);
  return l == "utf-8" || l == "utf8";
}

bool isUnicodeFamily(const std::string& declared) {
  std::string l = lowerAscii(declared);
  return l.rfind("utf-16", 0) == 0 || l.rfind("utf-32", 0) == 0 || l == "ucs-2" || l == "unicode" ||
         l == "utf16";
}

// One pass over the bytes of a part: the offset of the first byte that is not part of valid
// UTF-8 (npos when all is valid), and in `suspect` whether anything XML 1.0 forbids may be
// there (raw control bytes, a character reference, U+FFFE/U+FFFF). Eight bytes at a time
// while they are plain ASCII text: parts are megabytes, and most hold nothing to look at.
size_t scanXmlBytes(std::string_view s, bool& suspect) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  const size_t size = s.size();
  size_t i = 0;
  while (i < size) {
    if (i + 8 <= size) {
      uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      const uint64_t below20 = (w - kOnes * 0x20) & ~w & kHigh;
      const uint64_t amp = w ^ (kOnes * static_cast<uint64_t>('&'));
      const uint64_t hasAmp = (amp - kOnes) & ~amp & kHigh;
      if (((w & kHigh) | below20 | hasAmp) == 0) {
        i += 8;
        continue;
      }
    }
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if (c < 0x20 ? (c != 0x9 && c != 0xA && c != 0xD)
                   : (c == '&' && i + 1 < size && s[i + 1] == '#'))
        suspect = true;
      ++i;
      continue;
    }
    const size_t len = base::utf8SequenceLength(s, i);
    if (len == 0)
      return i;
    if (c == 0xEF && s[i + 1] == '\xBF' && (s[i + 2] == '\xBE' || s[i + 2] == '\xBF'))
      suspect = true; // U+FFFE, U+FFFF
    i += len;
  }
  return std::string_view::npos;
}

// Whether code point `c` may appear in an XML 1.0 document.
bool xmlAllowed(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Removes what XML 1.0 does not allow from valid UTF-8 `data`: raw C0 control bytes other than tab
// and line ends, U+FFFE/U+FFFF, and character references to such characters (&#1;, &#x0;).
// A parser would refuse them, or cut the text at &#0;. Returns how many were removed.
size_t dropDisallowedCharacters(std::string& data) {
  auto isBadByte = [](unsigned char c) { return c < 0x20 && c != 0x9 && c != 0xA && c != 0xD; };
  std::string out;
  out.reserve(data.size());
  size_t dropped = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    auto c = static_cast<unsigned char>(data[i]);
    if (isBadByte(c)) {
      ++dropped;
      continue;
    }
    if (c == 0xEF && i + 2 < data.size() && data[i + 1] == '\xBF' &&
        (data[i + 2] == '\xBE' || data[i + 2] == '\xBF')) {
      ++dropped;
      i += 2;
      continue;
    }
    if (c == '&' && i + 2 < data.size() && data[i + 1] == '#') {
      size_t j = i + 2;
      bool hex = data[j] == 'x' || data[j] == 'X';
      if (hex)
        ++j;
      uint64_t v = 0;
      size_t digits = 0;
      while (j < data.size() && digits < 12 &&
             (hex ? std::isxdigit(static_cast<unsigned char>(data[j]))
                  : std::isdigit(static_cast<unsigned char>(data[j])))) {
        char d = data[j];
        v = v * (hex ? 16 : 10) +
            static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(d))
                                      ? d - '0'
                                      : (std::tolower(static_cast<unsigned char>(d)) - 'a' + 10));
        ++j;
        ++digits;
      }
      if (digits > 0 && j < data.size() && data[j] == ';' &&
          (v > 0x10FFFF || !xmlAllowed(static_cast<uint32_t>(v)))) {
        ++dropped;
        i = j;
        continue;
      }
    }
    out.push_back(data[i]);
  }
  data.swap(out);
  return dropped;
}

// Brings the bytes of one XML part to UTF-8 under a UTF-8 declaration: UTF-16 (by its byte
// order mark or its first bytes) and declared encodings (GBK, GB18030, Big5...) are decoded
// through iconv; characters XML does not allow are removed, with a warning. Bytes that do not
// match the declared encoding fail the document: guessing would turn its text into mojibake.
void normalizeXmlBytes(std::string& data, const std::string& file, const std::string& part,
                       std::vector<std::string>& warnings) {
  auto fail = [&](const std::string& reason) { throw DocumentError(file, part, reason); };
  const char* utf16 = nullptr;
  size_t skip = 0;
  if (startsWith(data, "\xFF\xFE", 2) || startsWith(data, std::string("<\0?\0", 4).c_str(), 4))
    utf16 = "UTF-16LE";
  else if (startsWith(data, "\xFE\xFF", 2) || startsWith(data, std::string("\0<\0?", 4).c_str(), 4))
    utf16 = "UTF-16BE";
  if (utf16 && (data[0] == '\xFF' || data[0] == '\xFE'))
    skip = 2;
  std::string declared;
  if (utf16) {
    std::string decoded;
    if (!base::convertToUtf8(std::string_view(data).substr(skip), utf16, decoded))
      fail(msg::text(msg::kPartEncodingMismatch, utf16));
    data.swap(decoded);
    size_t b = 0, e = 0;
    declared = declaredEncoding(data, b, e);
    if (!declared.empty())
      data.replace(b, e - b, "UTF-8");
  } else {
    size_t b = 0, e = 0;
    declared = declaredEncoding(data, b, e);
    // A UTF-16 declaration over 8-bit bytes is a mislabel every parser reads past.
    if (!declared.empty() && !isUtf8Name(declared) && !isUnicodeFamily(declared)) {
      std::string decoded;
      std::string from = iconvNameFor(declared);
      bool ok = base::convertToUtf8(data, from.c_str(), decoded);
      if (!ok && from == "CP950")
        ok = base::convertToUtf8(data, "BIG5-HKSCS", decoded);
      if (!ok) {
        if (!base::isKnownEncoding(from.c_str()))
          fail(msg::text(msg::kPartEncodingUnknown, declared));
        fail(msg::text(msg::kPartEncodingMismatch, declared));
      }
      data.swap(decoded);
      size_t b2 = 0, e2 = 0;
      if (!declaredEncoding(data, b2, e2).empty())
        data.replace(b2, e2 - b2, "UTF-8");
    } else if (!declared.empty() && !isUtf8Name(declared)) {
      data.replace(b, e - b, "UTF-8");
    }
  }
  bool suspect = false;
  size_t bad = scanXmlBytes(data, suspect);
  if (bad != std::string::npos)
    fail(msg::text(msg::kPartNotUtf8, declared.empty() ? std::string("UTF-8") : declared,
                   position(data, static_cast<ptrdiff_t>(bad))));
  if (!suspect)
    return;
  if (size_t n = dropDisallowedCharacters(data))
    warnings.push_back(msg::text(msg::kPartControlCharacters, part, n));
}

// --- repairing a package's structure ---------------------------------------------------------

constexpr const char* kOfficeDocRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
constexpr const char* kWmlType = "application/vnd.openxmlformats-officedocument.wordprocessingml.";

// The content type Word gives a part reached through a relationship of `relType` (its last path
// segment), or "" when the extension's default is right.
std::string contentTypeForRelationship(const std::string& relType, const std::string& mainExt) {
  std::string kind = relType.substr(relType.rfind('/') + 1);
  if (kind == "officeDocument") {
    if (mainExt == ".docm")
      return "application/vnd.ms-word.document.macroEnabled.main+xml";
    if (mainExt == ".dotx")
      return std::string(kWmlType) + "template.main+xml";
    if (mainExt == ".dotm")
      return "application/vnd.ms-word.template.macroEnabledTemplate.main+xml";
    return std::string(kWmlType) + "document.main+xml";
  }
  static const std::map<std::string, std::string> kWml = {
      {"styles", "styles+xml"},
      {"settings", "settings+xml"},
      {"numbering", "numbering+xml"},
      {"fontTable", "fontTable+xml"},
      {"webSettings", "webSettings+xml"},
      {"footnotes", "footnotes+xml"},
      {"endnotes", "endnotes+xml"},
      {"comments", "comments+xml"},
      {"header", "header+xml"},
      {"footer", "footer+xml"},
      {"glossaryDocument", "document.glossary+xml"},
  };
  if (auto it = kWml.find(kind); it != kWml.end())
    return kWmlType + it->second;
  static const std::map<std::string, std::string> kOther = {
      {"theme", "application/vnd.openxmlformats-officedocument.theme+xml"},
      {"core-properties", "application/vnd.openxmlformats-package.core-properties+xml"},
      {"extended-properties",
       "application/vnd.openxmlformats-officedocument.extended-properties+xml"},
      {"custom-properties", "application/vnd.openxmlformats-officedocument.custom-properties+xml"},
      {"customXmlProps", "application/vnd.openxmlformats-officedocument.customXmlProperties+xml"},
      {"vbaProject", "application/vnd.ms-office.vbaProject"},
      {"commentsExtended",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.commentsExtended+xml"},
      {"people", "application/vnd.openxmlformats-officedocument.wordprocessingml.people+xml"},
      {"stylesWithEffects", "application/vnd.ms-word.stylesWithEffects+xml"},
  };
  if (auto it = kOther.find(kind); it != kOther.end())
    return it->second;
  return {};
}

// Default content types by extension for the parts a Word package holds.
std::string contentTypeForExtension(const std::string& ext) {
  static const std::map<std::string, std::string> kDefaults = {
      {"rels", kRelsContentType},
      {"xml", "application/xml"},
      {"png", "image/png"},
      {"jpeg", "image/jpeg"},
      {"jpg", "image/jpeg"},
      {"jpe", "image/jpeg"},
      {"jfif", "image/jpeg"},
      {"gif", "image/gif"},
      {"bmp", "image/bmp"},
      {"tif", "image/tiff"},
      {"tiff", "image/tiff"},
      {"emf", "image/x-emf"},
      {"wmf", "image/x-wmf"},
      {"svg", "image/svg+xml"},
      {"wdp", "image/vnd.ms-photo"},
      {"bin", "application/vnd.openxmlformats-officedocument.oleObject"},
      {"odttf", "application/vnd.openxmlformats-officedocument.obfuscatedFont"},
      {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
      {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
      {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
  };
  auto it = kDefaults.find(ext);
  return it == kDefaults.end() ? std::string("application/octet-stream") : it->second;
}

// --- atomic file writing ----------------------------------------------------------------------

std::string errnoText(int e) {
  return msg::systemError(e);
}

// The temporary file beside an output: a short fixed-length name (".qf" and six random
// characters), so that it fits in the folder whatever the length of the output's own name.
constexpr const char* kTempPattern = ".qfXXXXXX";

void writeAtomically(const std::string& path, const std::string& data,
                     const std::function<void(const std::string&)>& check) {
  auto fail = [&](const char* reason, auto&&... args) {
    throw DocumentError(path, "", msg::text(reason, std::forward<decltype(args)>(args)...));
  };

  // The entry at `path` is replaced, never written through: a symbolic link there is replaced
  // by the new file (its target is left alone), and so is a hard link.
  const fs::path target(path);
  struct stat old {};
  const bool exists = ::lstat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode))
    fail(msg::kSaveIsFolder);
  const bool replacingFile = exists && S_ISREG(old.st_mode);
  fs::path dir = target.parent_path();
  if (dir.empty())
    dir = ".";
  std::error_code ec;
  if (!fs::is_directory(dir, ec))
    fail(msg::kSaveNoFolder, dir.string());

  int fd = -1;
  int createErrno = 0;
  const std::string tmp = base::interrupt::createFile([&]() -> std::string {
    std::string name = (dir / kTempPattern).string();
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    createErrno = errno;
    return fd < 0 ? std::string() : name;
  });
  if (fd < 0)
    fail(msg::kSaveCannotCreate, dir.string(), errnoText(createErrno));

  auto abandon = [&](const char* reason, auto&&... args) {
    if (fd >= 0)
      ::close(fd);
    base::interrupt::settleFile(tmp, [&] { return ::unlink(tmp.c_str()); });
    fail(reason, std::forward<decltype(args)>(args)...);
  };

  mode_t mode = replacingFile ? (old.st_mode & 07777) : (0666 & ~base::fileCreationMask());
  if (::fchmod(fd, mode) != 0)
    abandon(msg::kSaveWriteFailed, errnoText(errno));
  if (replacingFile && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    // Keep the owner of the replaced file where permitted; not being able to is not an error.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    }
  }

  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      abandon(msg::kSaveWriteFailed, errnoText(errno));
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0)
    abandon(msg::kSaveWriteFailed, errnoText(errno));
  int rc = ::close(fd);
  fd = -1;
  if (rc != 0)
    abandon(msg::kSaveWriteFailed, errnoText(errno));

  // What was written must read back before it replaces anything.
  if (check) {
    try {
      check(tmp);
    } catch (const DocumentError& e) {
      abandon(msg::kSaveUnreadable, e.part().empty()
                                        ? e.reason()
                                        : msg::text(msg::kSavePartReason, e.part(), e.reason()));
    }
  }

  // rename() replaces the directory entry itself (a link included) and does not follow it.
  int renameErrno = 0;
  const int renamed = base::interrupt::settleFile(tmp, [&] {
    int r = ::rename(tmp.c_str(), target.c_str());
    renameErrno = errno;
    if (r != 0)
      ::unlink(tmp.c_str());
    return r;
  });
  if (renamed != 0)
    fail(msg::kSaveCannotReplace, errnoText(renameErrno));

  // Make the rename itself durable.
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

// True when `c` may appear in an XML 1.0 document.
bool xmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The offset of the first byte at or after `i` that the scan below must look at: a byte below
// U+0020, '&' or one beyond ASCII. Eight bytes at a time (a byte below 0x20, or equal to '&',
// makes the borrow tests set its high bit; high bits of the bytes themselves are tested apart).
size_t skipPlainAscii(const unsigned char* b, size_t i, size_t n) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  for (; i + 8 <= n; i += 8) {
    uint64_t x;
    std::memcpy(&x, b + i, 8);
    const uint64_t amp = x ^ (kOnes * '&');
    if (((x | ((x - kOnes * 0x20) & ~x) | ((amp - kOnes) & ~amp)) & kHighs) != 0)
      break;
  }
  while (i < n && b[i] >= 0x20 && b[i] < 0x80 && b[i] != '&')
    ++i;
  return i;
}

} // namespace

std::string xmlTextProblem(std::string_view data) {
  const auto* b = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
    return {}; // UTF-16: the parser checked it
  // One pass over the bytes: ASCII is checked as it stands; a longer sequence needs only to be
  // well-formed (which excludes surrogates and values above U+10FFFF) and not U+FFFE or U+FFFF
  // (EF BF BE, EF BF BF): every other scalar value from U+0080 up is allowed.
  for (size_t i = skipPlainAscii(b, 0, n); i < n; i = skipPlainAscii(b, i, n)) {
    const unsigned char c = b[i];
    if (c >= 0x80) {
      const size_t len = base::utf8SequenceLength(data, i);
      if (len == 0)
        return msg::text(msg::kSaveNotUtf8, i);
      if (c == 0xEF && b[i + 1] == 0xBF && b[i + 2] >= 0xBE)
        return msg::text(msg::kSaveBadChar, 0xFFFEu + (b[i + 2] - 0xBEu), i);
      i += len;
      continue;
    }
    if (c != '&') {
      if (c != 0x9 && c != 0xA && c != 0xD)
        return msg::text(msg::kSaveBadChar, static_cast<unsigned>(c), i);
      ++i;
      continue;
    }
    if (i + 2 < n && b[i + 1] == '#') {
      size_t j = i + 2;
      const bool hex = b[j] == 'x';
      if (hex)
        ++j;
      uint64_t v = 0;
      size_t digits = 0;
      for (; j < n && std::isxdigit(b[j]) && (hex || std::isdigit(b[j])) && digits < 12;
           ++j, ++digits)
        v = v * (hex ? 16 : 10) +
            static_cast<uint64_t>(std::isdigit(b[j]) ? b[j] - '0' : (b[j] | 0x20) - 'a' + 10);
      if (digits > 0 && j < n && b[j] == ';' &&
          (v > 0x10FFFF || !xmlChar(static_cast<uint32_t>(v))))
        return msg::text(msg::kSaveBadChar, v, i);
    }
    ++i;
  }
  return {};
}

namespace {

// Why the bytes of an XML part would not read back ("" when they would): text and parse.
std::string xmlPartProblem(const std::string& name, const std::string& bytes) {
  std::string problem = xmlTextProblem(bytes);
  if (problem.empty()) {
    try {
      pugi::xml_document doc;
      parseXml(doc, bytes, name, PackageLimits{}.maxXmlDepth);
    } catch (const DocumentError& e) {
      problem = e.reason();
    }
  }
  return problem.empty() ? problem : msg::text(msg::kSavePartReason, name, problem);
}

} // namespace

// --- XML ----------------------------------------------------------------------------------------

namespace {

constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration | pugi::parse_doctype;

void checkParsed(pugi::xml_document& doc, const pugi::xml_parse_result& r, const std::string& data,
                 const std::string& part, unsigned maxDepth);

} // namespace

void parseXml(pugi::xml_document& doc, const std::string& data, const std::string& part,
              unsigned maxDepth) {
  checkParsed(doc, doc.load_buffer(data.data(), data.size(), kParseOptions), data, part, maxDepth);
}

namespace {

// parseXml() on `data` itself, which the tree then points into: no copy of the part's text is
// made, and `data` must outlive `doc`. The bytes of `data` are no longer the part's text
// afterwards (a parse error's position is counted in them as they are then).
void parseXmlInPlace(pugi::xml_document& doc, std::string& data, const std::string& part,
                     unsigned maxDepth) {
  checkParsed(doc, doc.load_buffer_inplace(data.data(), data.size(), kParseOptions), data, part,
              maxDepth);
}

void checkParsed(pugi::xml_document& doc, const pugi::xml_parse_result& r, const std::string& data,
                 const std::string& part, unsigned maxDepth) {
  if (!r) {
    if (r.status == pugi::status_bad_doctype)
      throw DocumentError("", part, msg::kXmlDoctype);
    throw DocumentError("", part,
                        msg::text(msg::kXmlMalformed, r.description(), position(data, r.offset)));
  }
  // Walk the tree without recursion: check the nesting depth (the root element is level 1)
  // and refuse DOCTYPE nodes.
  unsigned depth = 1;
  pugi::xml_node n = doc.first_child();
  while (n) {
    if (n.type() == pugi::node_doctype) {
      doc.reset();
      throw DocumentError("", part, msg::kXmlDoctype);
    }
    if (n.type() == pugi::node_element && depth > maxDepth) {
      doc.reset();
      throw DocumentError("", part, msg::text(msg::kXmlTooDeep, maxDepth));
    }
    if (n.first_child()) {
      n = n.first_child();
      ++depth;
      continue;
    }
    while (n && !n.next_sibling()) {
      n = n.parent();
      --depth;
      if (n == doc)
        n = pugi::xml_node();
    }
    if (n)
      n = n.next_sibling();
  }
  // The parsed tree is UTF-8 whatever the source encoding was; say so when written back.
  for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_declaration) {
      pugi::xml_attribute enc = c.attribute("encoding");
      if (enc && !equalsNoCase(enc.value(), "UTF-8"))
        enc.set_value("UTF-8");
    }
  }
}

// Collects serialised XML in pieces of at most 1 MiB: a part is never copied as a whole while
// it grows. A part larger than kSpill moves to an anonymous temporary file (gone as soon as it
// is closed, whatever ends the process), so saving a large document costs no memory for its
// serialised text.
class ChunkWriter : public pugi::xml_writer {
public:
  static constexpr size_t kPiece = size_t(1) << 20;
  static constexpr size_t kSpill = size_t(8) << 20;

  ChunkWriter() = default;
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;
  ChunkWriter(ChunkWriter&& o) noexcept
      : pieces_(std::move(o.pieces_)), size_(o.size_), file_(std::exchange(o.file_, nullptr)),
        failed_(o.failed_) {}
  ~ChunkWriter() override {
    if (file_)
      std::fclose(file_);
  }

  void write(const void* data, size_t size) override {
    if (failed_)
      return;
    if (!file_ && spill_ && size_ + size > kSpill)
      moveToFile();
    size_ += size;
    if (file_) {
      if (std::fwrite(data, 1, size, file_) != size)
        failed_ = true;
      return;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      if (pieces_.empty() || pieces_.back().size() == kPiece) {
        pieces_.emplace_back();
        pieces_.back().reserve(kPiece);
      }
      std::string& last = pieces_.back();
      size_t n = std::min(size, kPiece - last.size());
      last.append(p, n);
      p += n;
      size -= n;
    }
  }
  std::vector<std::string>& pieces() { return pieces_; }
  // Allows moving to a temporary file (only where the pieces are handed to libzip).
  void allowSpill() { spill_ = true; }
  bool failed() const { return failed_; }
  // The temporary file holding the text, rewound, or nullptr when it is in pieces. The caller
  // takes it over.
  FILE* takeFile() {
    if (file_ && (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0))
      failed_ = true;
    return std::exchange(file_, nullptr);
  }

private:
  std::vector<std::string> pieces_;
  size_t size_ = 0;
  FILE* file_ = nullptr;
  bool spill_ = false;
  bool failed_ = false;

  void moveToFile() {
    file_ = std::tmpfile();
    if (!file_)
      return; // no temporary file: keep the text in memory
    for (const auto& piece : pieces_) {
      if (std::fwrite(piece.data(), 1, piece.size(), file_) != piece.size())
        failed_ = true;
    }
    std::vector<std::string>().swap(pieces_);
  }
};

void serializeTo(const pugi::xml_document& doc, pugi::xml_writer& out) {
  for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
    if (isSharedXmlHolder(c))
      continue; // templates of shared strings, not content
    c.print(out, "", pugi::format_raw, pugi::encoding_utf8);
    // Word puts a line break between the declaration and the root element.
    if (c.type() == pugi::node_declaration)
      out.write("\r\n", 2);
  }
}

} // namespace

std::string serializeXml(const pugi::xml_document& doc) {
  ChunkWriter w;
  serializeTo(doc, w);
  size_t total = 0;
  for (const auto& piece : w.pieces())
    total += piece.size();
  std::string out;
  out.reserve(total);
  for (const auto& piece : w.pieces())
    out += piece;
  return out;
}

// --- Package ------------------------------------------------------------------------------------

Package::Package() = default;
Package::~Package() = default;

std::unique_ptr<Package> Package::open(const std::string& path, const PackageLimits& limits) {
  auto fail = [&](const std::string& reason) { throw DocumentError(path, "", reason); };
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (ec || !fs::exists(st)) {
    if (ec && ec != std::errc::no_such_file_or_directory)
      fail(msg::text(msg::kFileUnreadable, msg::systemError(ec.value())));
    fail(msg::kFileMissing);
  }
  if (fs::is_directory(st))
    fail(msg::kFileIsFolder);
  if (!fs::is_regular_file(st))
    fail(msg::kFileNotRegular);
  uintmax_t size = fs::file_size(path, ec);
  if (ec)
    fail(msg::text(msg::kFileUnreadable, msg::systemError(ec.value())));
  if (size == 0)
    fail(msg::kFileEmpty);
  if (size > limits.maxArchiveSize)
    fail(msg::text(msg::kFileTooLarge, mib(size), mib(limits.maxArchiveSize)));

  std::ifstream in(path, std::ios::binary);
  if (!in)
    fail(msg::text(msg::kFileUnreadable, errnoText(errno)));
  std::string bytes;
  bytes.resize(static_cast<size_t>(size));
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (in.bad())
    fail(msg::text(msg::kFileUnreadable, msg::kReadError));
  return openMemory(bytes, path, limits);
}

std::unique_ptr<Package> Package::openMemory(const std::string& bytes,
                                             const std::string& nameForErrors,
                                             const PackageLimits& limits) {
  auto fail = [&](const std::string& reason) { throw DocumentError(nameForErrors, "", reason); };
  if (bytes.empty())
    fail(msg::kFileEmpty);
  if (bytes.size() > limits.maxArchiveSize)
    fail(msg::text(msg::kFileTooLarge, mib(bytes.size()), mib(limits.maxArchiveSize)));
  if (startsWith(bytes, "\xD0\xCF\x11\xE0", 4))
    fail(msg::kOleNotPackage);

  zip_error_t err;
  zip_error_init(&err);
  ZipPtr za = openArchive(bytes, ZIP_CHECKCONS | ZIP_RDONLY, &err);
  if (!za) {
    std::string reason = openFailureReason(bytes, &err);
    zip_error_fini(&err);
    fail(reason);
  }
  zip_error_fini(&err);

  zip_int64_t count = zip_get_num_entries(za.get(), 0);
  if (count < 0)
    fail(msg::kArchiveTocUnreadable);
  if (static_cast<uint64_t>(count) > limits.maxEntries)
    fail(msg::text(msg::kTooManyEntries, count, limits.maxEntries));

  auto pkg = std::make_unique<Package>();
  pkg->sourcePath_ = nameForErrors;
  pkg->limits_ = limits;
  uint64_t total = 0;
  std::vector<char> buf(kChunk);
  for (zip_int64_t i = 0; i < count; ++i) {
    auto idx = static_cast<zip_uint64_t>(i);
    zip_stat_t zs;
    zip_stat_init(&zs);
    if (zip_stat_index(za.get(), idx, 0, &zs) != 0 || !(zs.valid & ZIP_STAT_NAME) || !zs.name)
      fail(msg::text(msg::kEntryUnreadable, i + 1));
    std::string name = zs.name;
    if (unsafeName(name))
      fail(msg::text(msg::kUnsafeEntryName, name));
    if (pkg->foldedIndex_.count(lowerAscii(name)))
      fail(msg::text(msg::kDuplicateEntry, name));
    if ((zs.valid & ZIP_STAT_ENCRYPTION_METHOD) && zs.encryption_method != ZIP_EM_NONE)
      fail(msg::text(msg::kEntryEncrypted, name));
    uint64_t compressed = (zs.valid & ZIP_STAT_COMP_SIZE) ? zs.comp_size : 0;

    std::unique_ptr<zip_file_t, ZipFileCloser> f(zip_fopen_index(za.get(), idx, 0));
    if (!f)
      fail(entryReadFailure(name, zip_get_error(za.get())));
    std::string data;
    // The header's size is only a hint for the first allocation.
    if (zs.valid & ZIP_STAT_SIZE)
      data.reserve(static_cast<size_t>(
          std::min<uint64_t>({zs.size, limits.maxPartSize, compressed * 64 + kChunk})));
    for (;;) {
      zip_int64_t n = zip_fread(f.get(), buf.data(), buf.size());
      if (n < 0)
        fail(entryReadFailure(name, zip_file_get_error(f.get())));
      if (n == 0)
        break;
      data.append(buf.data(), static_cast<size_t>(n));
      total += static_cast<uint64_t>(n);
      if (data.size() > limits.maxPartSize)
        fail(msg::text(msg::kEntryTooLarge, name, mib(limits.maxPartSize)));
      if (total > limits.maxTotalSize)
        fail(msg::text(msg::kDocumentTooLarge, mib(limits.maxTotalSize)));
      if (data.size() > limits.ratioFloor &&
          data.size() / std::max<uint64_t>(compressed, 1) > limits.maxRatio)
        fail(msg::text(msg::kZipBomb, name, limits.maxRatio));
    }
    if (isXmlPartName(name))
      normalizeXmlBytes(data, nameForErrors, name, pkg->warnings_);
    Entry& e = pkg->addEntry(name, std::move(data));
    e.stored = (zs.valid & ZIP_STAT_COMP_METHOD) && zs.comp_method == ZIP_CM_STORE;
  }
  pkg->repairStructure();
  return pkg;
}

void Package::repairStructure() {
  if (entries_.empty())
    return;
  const bool missingTypes = !has(kContentTypes);
  // The root relationships: without them no reader finds the document. Word points them at
  // the main part, and at the document properties when present.
  if (!has("_rels/.rels")) {
    std::string main;
    for (const auto& e : entries_) {
      if (!isXmlPartName(e->name) || e->name.find("_rels/") != std::string::npos)
        continue;
      // The usual name first; else the first part whose root is a WordprocessingML document.
      if (lowerAscii(e->name) == "word/document.xml") {
        main = e->name;
        break;
      }
    }
    if (main.empty()) {
      for (const auto& e : entries_) {
        if (!isXmlPartName(e->name) || e->name.find("_rels/") != std::string::npos)
          continue;
        pugi::xml_document* d = nullptr;
        try {
          d = xml(e->name);
        } catch (const DocumentError&) {
          continue;
        }
        pugi::xml_node r = d ? d->document_element() : pugi::xml_node();
        if (r && std::strcmp(r.name(), "w:document") == 0) {
          main = e->name;
          break;
        }
      }
    }
    if (!main.empty()) {
      addRelationship("", kOfficeDocRel, main);
      const char* base = "http://schemas.openxmlformats.org/";
      if (has("docProps/core.xml"))
        addRelationship("",
                        std::string(base) + "package/2006/relationships/metadata/core-properties",
                        "docProps/core.xml");
      if (has("docProps/app.xml"))
        addRelationship("",
                        std::string(base) + "officeDocument/2006/relationships/extended-properties",
                        "docProps/app.xml");
      warnings_.push_back(msg::text(msg::kPackageRootRelsRepaired, main));
    }
  }
  if (missingTypes) {
    std::string mainExt = lowerAscii(fs::path(sourcePath_).extension().string());
    // Overrides from the relationships that reach each part, defaults by extension for the
    // rest, as Word repairs such a package.
    std::map<std::string, std::string> overrides;
    std::set<std::string> exts{"rels", "xml"};
    for (const auto& e : entries_) {
      std::string name = e->name;
      auto slash = name.rfind("/_rels/");
      bool isRels = lowerAscii(name).ends_with(".rels") &&
                    (name.rfind("_rels/", 0) == 0 || slash != std::string::npos);
      if (isRels) {
        std::string dir = name.rfind("_rels/", 0) == 0 ? std::string() : name.substr(0, slash);
        std::string file = name.substr(name.rfind('/') + 1);
        file.resize(file.size() - 5);
        std::string source = dir.empty() ? file : dir + "/" + file;
        std::vector<Relationship> rels;
        try {
          rels = relationships(source);
        } catch (const DocumentError&) {
          continue;
        }
        for (const Relationship& r : rels) {
          if (r.targetMode == "External" || r.target.empty() || !has(r.target))
            continue;
          std::string type = contentTypeForRelationship(r.type, mainExt);
          if (!type.empty())
            overrides.emplace(r.target, type);
        }
      }
    }
    pugi::xml_document* types = xmlOrCreate(kContentTypes, kEmptyTypes);
    pugi::xml_node root = rootElement(*types);
    for (const auto& e : entries_) {
      std::string file =
          e->name.substr(e->name.rfind('/') == std::string::npos ? 0 : e->name.rfind('/') + 1);
      auto dot = file.rfind('.');
      if (dot != std::string::npos && e->name != kContentTypes)
        exts.insert(lowerAscii(file.substr(dot + 1)));
    }
    for (pugi::xml_node d : root.children())
      exts.erase(lowerAscii(d.attribute("Extension").value()));
    for (const auto& ext : exts) {
      pugi::xml_node d = root.append_child("Default");
      d.append_attribute("Extension") = ext.c_str();
      d.append_attribute("ContentType") = contentTypeForExtension(ext).c_str();
    }
    for (const auto& [part, type] : overrides) {
      pugi::xml_node o = root.append_child("Override");
      o.append_attribute("PartName") = ("/" + part).c_str();
      o.append_attribute("ContentType") = type.c_str();
    }
    markDirty(kContentTypes);
    warnings_.push_back(msg::text(msg::kPackageContentTypesRepaired, kContentTypes));
  }
}

std::unique_ptr<Package>
Package::fromEntries(std::vector<std::pair<std::string, std::string>> entries) {
  auto pkg = std::make_unique<Package>();
  for (auto& [name, data] : entries) {
    if (pkg->foldedIndex_.count(lowerAscii(name)))
      throw DocumentError("", name, msg::text(msg::kDuplicateEntry, name));
    pkg->addEntry(name, std::move(data));
  }
  return pkg;
}

Package::Entry& Package::addEntry(const std::string& name, std::string data, bool atFront) {
  auto e = std::make_unique<Entry>();
  e->name = name;
  e->data = std::move(data);
  Entry& ref = *e;
  if (atFront) {
    entries_.insert(entries_.begin(), std::move(e));
    reindex();
  } else {
    entries_.push_back(std::move(e));
    index_[name] = entries_.size() - 1;
    foldedIndex_[lowerAscii(name)] = entries_.size() - 1;
  }
  return ref;
}

void Package::reindex() {
  index_.clear();
  foldedIndex_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) {
    index_[entries_[i]->name] = i;
    foldedIndex_[lowerAscii(entries_[i]->name)] = i;
  }
}

// Part names compare without regard to ASCII case; an exact match wins.
Package::Entry* Package::find(const std::string& name) const {
  auto it = index_.find(name);
  if (it != index_.end())
    return entries_[it->second].get();
  auto f = foldedIndex_.find(lowerAscii(name));
  return f == foldedIndex_.end() ? nullptr : entries_[f->second].get();
}

std::vector<std::string> Package::names() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const auto& e : entries_)
    out.push_back(e->name);
  return out;
}

bool Package::has(const std::string& name) const {
  return find(name) != nullptr;
}

std::string Package::bytes(const std::string& name) const {
  const Entry* e = find(name);
  if (!e)
    return {};
  return e->dirty && e->doc ? serializeXml(*e->doc) : e->data;
}

void Package::setBytes(const std::string& name, std::string data) {
  if (Entry* e = find(name)) {
    e->data = std::move(data);
    e->doc.reset();
    std::string().swap(e->held);
    e->dirty = false;
    return;
  }
  addEntry(name, std::move(data));
}

void Package::remove(const std::string& name) {
  const Entry* e = find(name);
  if (!e)
    return;
  entries_.erase(
      std::find_if(entries_.begin(), entries_.end(), [&](const auto& p) { return p.get() == e; }));
  reindex();
}

pugi::xml_document* Package::xml(const std::string& name) {
  Entry* e = find(name);
  if (!e)
    return nullptr;
  if (!e->doc) {
    auto doc = std::make_unique<pugi::xml_document>();
    try {
      parseXml(*doc, e->data, e->name, limits_.maxXmlDepth);
    } catch (const DocumentError& err) {
      throw err.withFile(sourcePath_);
    }
    adopt(*e, std::move(doc), !declaresBelowRoot(e->data));
  }
  return e->doc.get();
}

pugi::xml_document* Package::xmlInPlace(const std::string& name) {
  Entry* e = find(name);
  if (!e)
    return nullptr;
  if (!e->doc) {
    auto doc = std::make_unique<pugi::xml_document>();
    // The bytes become the tree's storage: from here on the tree is the part's content.
    e->held = std::move(e->data);
    e->data.clear();
    e->dirty = true;
    // Asked before the parse, which writes into the bytes.
    const bool rootOnly = !declaresBelowRoot(e->held);
    try {
      parseXmlInPlace(*doc, e->held, e->name, limits_.maxXmlDepth);
    } catch (const DocumentError& err) {
      throw err.withFile(sourcePath_);
    }
    adopt(*e, std::move(doc), rootOnly);
  }
  return e->doc.get();
}

void Package::adopt(Entry& e, std::unique_ptr<pugi::xml_document> doc, bool rootOnly) {
  // Parts are handled under the usual prefixes of their namespaces; a part written under
  // other ones is written back under those. `rootOnly`: its bytes declare no namespace below
  // the root element.
  if (normalizeNamespaces(*doc, rootOnly))
    e.dirty = true;
  e.doc = std::move(doc);
}

bool Package::parsed(const std::string& name) const {
  const Entry* e = find(name);
  return e && e->doc;
}

pugi::xml_document* Package::changedXml(const std::string& name) const {
  const Entry* e = find(name);
  return e && e->dirty && e->doc ? e->doc.get() : nullptr;
}

void Package::markDirty(const std::string& name) {
  if (Entry* e = find(name); e && e->doc) {
    e->dirty = true;
    // The parsed tree is now the part's content; its bytes as read are never written again.
    std::string().swap(e->data);
  }
}

pugi::xml_document* Package::xmlOrCreate(const std::string& name, const char* emptyXml) {
  if (!find(name))
    addEntry(name, emptyXml, name == kContentTypes);
  return xml(name);
}

std::string Package::mainPart() {
  for (const Relationship& r : relationships("")) {
    const std::string& t = r.type;
    bool office = t.size() >= 15 && t.compare(t.size() - 15, 15, "/officeDocument") == 0;
    if (office && r.targetMode != "External" && !r.target.empty() && has(r.target))
      return r.target;
  }
  return {};
}

std::vector<Relationship> Package::relationships(const std::string& part) {
  std::vector<Relationship> out;
  pugi::xml_document* doc = xml(relsPartOf(part));
  if (!doc)
    return out;
  for (pugi::xml_node r : rootElement(*doc).children()) {
    if (!isLocal(r, "Relationship"))
      continue;
    Relationship rel{r.attribute("Id").value(), r.attribute("Type").value(),
                     r.attribute("Target").value(), r.attribute("TargetMode").value()};
    if (rel.targetMode != "External") {
      std::string resolved = resolveTarget(part, rel.target);
      if (!resolved.empty() && !has(resolved)) {
        std::string decoded = percentDecode(resolved);
        if (has(decoded))
          resolved = decoded;
      }
      // Report the entry's own spelling when the target differs from it only in case.
      if (const Entry* e = find(resolved); e && !resolved.empty())
        resolved = e->name;
      rel.target = resolved;
    }
    out.push_back(std::move(rel));
  }
  return out;
}

std::string Package::resolveTarget(const std::string& part, const std::string& target) {
  if (target.empty() || hasUriScheme(target))
    return {};
  std::string t = target;
  std::replace(t.begin(), t.end(), '\\', '/');
  if (auto hash = t.find('#'); hash != std::string::npos)
    t.erase(hash);
  std::string path;
  if (!t.empty() && t[0] == '/') {
    path = t.substr(1);
  } else {
    auto slash = part.rfind('/');
    path = (slash == std::string::npos ? std::string() : part.substr(0, slash + 1)) + t;
  }
  std::vector<std::string> segs;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos)
      end = path.size();
    std::string seg = path.substr(start, end - start);
    if (seg == "..") {
      if (segs.empty())
        return {};
      segs.pop_back();
    } else if (!seg.empty() && seg != ".") {
      segs.push_back(std::move(seg));
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& s : segs)
    out += (out.empty() ? "" : "/") + s;
  return out;
}

std::string Package::addRelationship(const std::string& part, const std::string& type,
                                     const std::string& target) {
  std::string relsName = relsPartOf(part);
  bool created = !has(relsName);
  pugi::xml_document* doc = xmlOrCreate(relsName, kEmptyRels);
  pugi::xml_node root = rootElement(*doc);
  if (!root)
    throw DocumentError(sourcePath_, relsName, msg::kRelsNoRoot);

  std::set<std::string> used;
  unsigned long next = 1;
  for (pugi::xml_node r : root.children()) {
    if (!isLocal(r, "Relationship"))
      continue;
    std::string id = r.attribute("Id").value();
    used.insert(id);
    if (id.size() > 3 && id.compare(0, 3, "rId") == 0 &&
        id.find_first_not_of("0123456789", 3) == std::string::npos && id.size() < 12)
      next = std::max(next, std::stoul(id.substr(3)) + 1);
  }
  std::string id = "rId" + std::to_string(next);
  while (used.count(id))
    id = "rId" + std::to_string(++next);

  pugi::xml_node r = root.append_child((prefixOf(root) + "Relationship").c_str());
  r.append_attribute("Id") = id.c_str();
  r.append_attribute("Type") = type.c_str();
  r.append_attribute("Target") = target.c_str();
  // A target with a scheme (http:, mailto:, file:) lies outside the package.
  if (hasUriScheme(target))
    r.append_attribute("TargetMode") = "External";
  markDirty(relsName);

  if (created) {
    pugi::xml_document* types = xmlOrCreate(kContentTypes, kEmptyTypes);
    pugi::xml_node troot = rootElement(*types);
    bool hasRels = false;
    pugi::xml_node lastDefault;
    for (pugi::xml_node d : troot.children()) {
      if (!isLocal(d, "Default"))
        continue;
      lastDefault = d;
      if (equalsNoCase(d.attribute("Extension").value(), "rels"))
        hasRels = true;
    }
    if (troot && !hasRels) {
      std::string qname = prefixOf(troot) + "Default";
      pugi::xml_node d = lastDefault ? troot.insert_child_after(qname.c_str(), lastDefault)
                                     : troot.prepend_child(qname.c_str());
      d.append_attribute("Extension") = "rels";
      d.append_attribute("ContentType") = kRelsContentType;
      markDirty(kContentTypes);
    }
  }
  return id;
}

std::string Package::contentType(const std::string& name) {
  pugi::xml_document* doc = xml(kContentTypes);
  if (!doc)
    return {};
  std::string bare = !name.empty() && name[0] == '/' ? name.substr(1) : name;
  std::string partName = "/" + bare;
  std::string file = bare.substr(bare.rfind('/') == std::string::npos ? 0 : bare.rfind('/') + 1);
  auto dot = file.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : file.substr(dot + 1);
  std::string byDefault;
  for (pugi::xml_node n : rootElement(*doc).children()) {
    if (isLocal(n, "Override") && equalsNoCase(n.attribute("PartName").value(), partName))
      return n.attribute("ContentType").value();
    if (isLocal(n, "Default") && byDefault.empty() && !ext.empty() &&
        equalsNoCase(n.attribute("Extension").value(), ext))
      byDefault = n.attribute("ContentType").value();
  }
  return byDefault;
}

void Package::setContentTypeOverride(const std::string& name, const std::string& type) {
  pugi::xml_document* doc = xmlOrCreate(kContentTypes, kEmptyTypes);
  pugi::xml_node root = rootElement(*doc);
  if (!root)
    throw DocumentError(sourcePath_, kContentTypes, msg::kTypesNoRoot);
  std::string partName = "/" + (!name.empty() && name[0] == '/' ? name.substr(1) : name);
  pugi::xml_node o;
  for (pugi::xml_node n : root.children()) {
    if (isLocal(n, "Override") && equalsNoCase(n.attribute("PartName").value(), partName)) {
      o = n;
      break;
    }
  }
  if (!o) {
    o = root.append_child((prefixOf(root) + "Override").c_str());
    o.append_attribute("PartName") = partName.c_str();
  }
  pugi::xml_attribute ct = o.attribute("ContentType");
  if (!ct)
    ct = o.append_attribute("ContentType");
  ct.set_value(type.c_str());
  markDirty(kContentTypes);
}

// --- writing ------------------------------------------------------------------------------------

std::string Package::readBackProblem(const std::string& keep) {
  for (const auto& e : entries_) {
    if (!isXmlPartName(e->name))
      continue;
    if (e->name != keep || e->dirty) {
      std::string problem = e->dirty && e->doc ? xmlPartProblem(e->name, serializeXml(*e->doc))
                                               : xmlPartProblem(e->name, e->data);
      if (!problem.empty())
        return problem;
      continue;
    }
    std::string problem = xmlTextProblem(e->data);
    if (problem.empty()) {
      try {
        // Its bytes as read are dropped once it parses: parsed where they are, the part is
        // held once, not as its text beside a tree holding a copy of it.
        (void)xmlInPlace(e->name);
      } catch (const DocumentError& err) {
        problem = err.reason();
      }
    }
    if (!problem.empty())
      return msg::text(msg::kSavePartReason, e->name, problem);
  }
  return {};
}

std::string Package::readBackProblem() const {
  for (const auto& e : entries_) {
    if (!isXmlPartName(e->name))
      continue;
    std::string problem = e->dirty && e->doc ? xmlPartProblem(e->name, serializeXml(*e->doc))
                                             : xmlPartProblem(e->name, e->data);
    if (!problem.empty())
      return problem;
  }
  return {};
}

std::string Package::saveToString() const {
  auto fail = [&](const std::string& reason) {
    throw DocumentError(sourcePath_, "", msg::text(msg::kArchiveBuildFailed, reason));
  };
  if (entries_.empty())
    return std::string("PK\x05\x06", 4) + std::string(18, '\0');

  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &err);
  if (!out) {
    zip_error_fini(&err);
    fail(msg::kArchiveBuildNoMemory);
  }
  zip_t* za = zip_open_from_source(out, ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!za) {
    std::string reason = zip_error_strerror(&err);
    zip_error_fini(&err);
    zip_source_free(out);
    fail(reason);
  }
  zip_error_fini(&err);
  zip_source_keep(out); // keep the written bytes after zip_close

  auto abandon = [&](const std::string& reason) {
    zip_discard(za);
    zip_source_free(out);
    fail(reason);
  };

  // Serialised XML must stay alive until zip_close reads it; each changed part is kept as its
  // pieces and handed to libzip as one fragmented buffer.
  std::vector<ChunkWriter> serialized;
  serialized.reserve(entries_.size());
  for (const auto& e : entries_) {
    zip_source_t* s = nullptr;
    if (e->dirty && e->doc) {
      ChunkWriter& w = serialized.emplace_back();
      w.allowSpill();
      serializeTo(*e->doc, w);
      FILE* file = w.takeFile();
      if (w.failed()) {
        if (file)
          std::fclose(file);
        abandon(msg::text(msg::kArchiveBuildTempFile, e->name));
      }
      if (file) {
        s = zip_source_filep(za, file, 0, -1); // libzip closes the file
        if (!s)
          std::fclose(file);
      } else {
        std::vector<zip_buffer_fragment_t> fragments;
        for (auto& piece : w.pieces())
          fragments.push_back({reinterpret_cast<zip_uint8_t*>(piece.data()), piece.size()});
        s = zip_source_buffer_fragment(za, fragments.data(), fragments.size(), 0);
      }
    } else {
      s = zip_source_buffer(za, e->data.data(), e->data.size(), 0);
    }
    if (!s)
      abandon(zip_strerror(za));
    zip_int64_t idx = zip_file_add(za, e->name.c_str(), s, ZIP_FL_ENC_UTF_8);
    if (idx < 0) {
      zip_source_free(s);
      abandon(msg::text(msg::kArchiveBuildEntry, e->name, zip_strerror(za)));
    }
    auto i = static_cast<zip_uint64_t>(idx);
    // A fixed time stamp (1980-01-01 00:00) makes equal packages give equal archives.
    if (zip_set_file_compression(za, i, e->stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 e->stored ? 0 : kDeflateLevel) != 0 ||
        zip_file_set_dostime(za, i, 0, (0 << 9) | (1 << 5) | 1, 0) != 0)
      abandon(msg::text(msg::kArchiveBuildEntry, e->name, zip_strerror(za)));
  }
  if (zip_close(za) != 0)
    abandon(zip_strerror(za));

  std::string bytes;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_open(out) != 0) {
    zip_source_free(out);
    fail(msg::kArchiveBuildReadBack);
  }
  if (zip_source_stat(out, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
    bytes.reserve(static_cast<size_t>(st.size));
  std::vector<char> buf(kChunk);
  for (;;) {
    zip_int64_t n = zip_source_read(out, buf.data(), buf.size());
    if (n < 0) {
      zip_source_close(out);
      zip_source_free(out);
      fail(msg::kArchiveBuildReadBack);
    }
    if (n == 0)
      break;
    bytes.append(buf.data(), static_cast<size_t>(n));
  }
  zip_source_close(out);
  zip_source_free(out);
  return bytes;
}

void Package::save(const std::string& path, const WrittenCheck& check) const {
  std::string bytes;
  try {
    bytes = saveToString();
  } catch (const DocumentError& e) {
    throw DocumentError(path, e.part(), e.reason());
  }
  saveBytes(path, bytes, check);
}

// Reads a package as written and checks it: it opens, has its content types, its root
// relationships and the part they name, and every XML part parses and holds only what XML 1.0
// allows. The main part is parsed into the package, once; the other parts into copies dropped
// at once.
std::unique_ptr<Package> Package::readWritten(const std::string& path) {
  std::unique_ptr<Package> pkg = Package::open(path);
  if (!pkg->has(kContentTypes))
    throw DocumentError(path, "", msg::kSaveNoContentTypes);
  if (!pkg->has("_rels/.rels"))
    throw DocumentError(path, "", msg::kSaveNoRootRels);
  std::string main;
  try {
    main = pkg->mainPart();
  } catch (const DocumentError&) {
    // The root relationships do not parse: the check of every part names them.
  }
  std::string problem = pkg->readBackProblem(main);
  if (!problem.empty())
    throw DocumentError(path, "", problem);
  if (pkg->mainPart().empty())
    throw DocumentError(path, "_rels/.rels", msg::kSaveNoMainPart);
  // The parsed main part is its content from now on: its bytes as read need not stay beside
  // the tree (for a large document, as much memory again as the part's text).
  pkg->markDirty(main);
  return pkg;
}

void Package::saveBytes(const std::string& path, const std::string& bytes,
                        const WrittenCheck& check) {
  writeAtomically(path, bytes, [&](const std::string& written) {
    std::unique_ptr<Package> back = readWritten(written);
    if (check)
      check(back);
  });
}

} // namespace word
