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

#include "base/interrupt.h"
#include "base/messages.h"
#include "word/error.h"

namespace word {

namespace fs = std::filesystem;

struct Package::Entry {
  std::string name;
  std::string data;                        // inflated bytes as read or last set
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

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

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
    return "the archive is damaged (its table of contents is missing or unreadable; the file "
           "may be truncated)";
  if (startsWith(bytes, "{\\rtf", 5))
    return "not a Word document (no zip archive); it is an RTF file with a .docx name";
  if (startsWith(bytes, "%PDF", 4))
    return "not a Word document (no zip archive); it is a PDF file with a .docx name";
  return "not a Word document (no zip archive); it may be a text file renamed .docx";
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
    return dup.empty() ? "duplicate entry names" : "duplicate entry name " + dup;
  }
  case ZIP_ER_INCONS:
    return "the archive is damaged (its table of contents does not match its entries)";
  case ZIP_ER_MULTIDISK:
    return "split (multi-part) zip archives are not supported";
  case ZIP_ER_MEMORY:
    return "not enough memory to read the archive";
  default:
    return std::string("the archive is damaged (") + zip_error_strerror(err) + ")";
  }
}

std::string entryReadFailure(const std::string& name, zip_error_t* err) {
  switch (zip_error_code_zip(err)) {
  case ZIP_ER_COMPNOTSUPP:
    return "entry " + name + " uses a compression method that is not supported";
  case ZIP_ER_ENCRNOTSUPP:
  case ZIP_ER_NOPASSWD:
    return "encrypted entry " + name;
  case ZIP_ER_CRC:
    return "the archive is damaged (checksum mismatch in entry " + name + ")";
  case ZIP_ER_MEMORY:
    return "not enough memory to unpack entry " + name;
  default:
    return "the archive is damaged (entry " + name + ": " + zip_error_strerror(err) + ")";
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
  return "line " + std::to_string(line) + ", column " + std::to_string(col);
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

// --- atomic file writing ----------------------------------------------------------------------

mode_t currentUmask() {
  // umask() cannot be read without changing it (racy with other threads): ask the kernel.
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::stoul(line.substr(6), 0, 8));
  }
  return 022;
}

std::string errnoText(int e) {
  return std::strerror(e);
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

  mode_t mode = replacingFile ? (old.st_mode & 07777) : (0666 & ~currentUmask());
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

// Why a conforming XML reader would refuse the bytes of a part written as UTF-8, or "": bytes
// that are not UTF-8, characters XML 1.0 does not allow, raw or as character references.
std::string xmlTextProblem(const std::string& data) {
  const auto* b = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
    return {}; // UTF-16: the parser checked it
  for (size_t i = 0; i < n;) {
    uint32_t c = b[i];
    size_t len = c < 0x80           ? 1
                 : (c >> 5) == 0x6  ? 2
                 : (c >> 4) == 0xE  ? 3
                 : (c >> 3) == 0x1E ? 4
                                    : 0;
    if (len == 0 || i + len > n)
      return msg::text(msg::kSaveNotUtf8, i);
    if (len > 1) {
      c &= 0x7Fu >> len;
      for (size_t k = 1; k < len; ++k) {
        if ((b[i + k] & 0xC0) != 0x80)
          return msg::text(msg::kSaveNotUtf8, i);
        c = (c << 6) | (b[i + k] & 0x3F);
      }
      const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
      if (c < least[len])
        return msg::text(msg::kSaveNotUtf8, i);
    }
    if (!xmlChar(c))
      return msg::text(msg::kSaveBadChar, c, i);
    if (c == '&' && i + 2 < n && b[i + 1] == '#') {
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
    i += len;
  }
  return {};
}

bool isXmlPartName(const std::string& name) {
  std::string l = name;
  for (char& ch : l)
    ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  auto endsWith = [&](std::string_view tail) {
    return l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0;
  };
  return endsWith(".xml") || endsWith(".rels");
}

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

// Checks a package as written: it opens, has its content types, its root relationships and the
// part they name, and every XML part parses and holds only what XML 1.0 allows.
void checkWrittenPackage(const std::string& path) {
  std::unique_ptr<Package> pkg = Package::open(path);
  if (!pkg->has(kContentTypes))
    throw DocumentError(path, "", msg::kSaveNoContentTypes);
  if (!pkg->has("_rels/.rels"))
    throw DocumentError(path, "", msg::kSaveNoRootRels);
  std::string problem = pkg->readBackProblem();
  if (!problem.empty())
    throw DocumentError(path, "", problem);
  if (pkg->mainPart().empty())
    throw DocumentError(path, "_rels/.rels", msg::kSaveNoMainPart);
}

} // namespace

// --- XML ----------------------------------------------------------------------------------------

void parseXml(pugi::xml_document& doc, const std::string& data, const std::string& part,
              unsigned maxDepth) {
  const unsigned options =
      pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration | pugi::parse_doctype;
  pugi::xml_parse_result r = doc.load_buffer(data.data(), data.size(), options);
  if (!r) {
    if (r.status == pugi::status_bad_doctype)
      throw DocumentError("", part, "DOCTYPE/entity declarations are not allowed");
    throw DocumentError("", part,
                        std::string("malformed XML: ") + r.description() + " (" +
                            position(data, r.offset) + ")");
  }
  // Walk the tree without recursion: check the nesting depth (the root element is level 1)
  // and refuse DOCTYPE nodes.
  unsigned depth = 1;
  pugi::xml_node n = doc.first_child();
  while (n) {
    if (n.type() == pugi::node_doctype) {
      doc.reset();
      throw DocumentError("", part, "DOCTYPE/entity declarations are not allowed");
    }
    if (n.type() == pugi::node_element && depth > maxDepth) {
      doc.reset();
      throw DocumentError("", part,
                          "XML nested deeper than " + std::to_string(maxDepth) + " levels");
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

namespace {

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
      fail("cannot read the file (" + ec.message() + ")");
    fail("the file does not exist");
  }
  if (fs::is_directory(st))
    fail("this is a folder, not a file");
  if (!fs::is_regular_file(st))
    fail("not a regular file");
  uintmax_t size = fs::file_size(path, ec);
  if (ec)
    fail("cannot read the file (" + ec.message() + ")");
  if (size == 0)
    fail("the file is empty");
  if (size > limits.maxArchiveSize)
    fail("the file is too large (" + mib(size) + "; the limit is " + mib(limits.maxArchiveSize) +
         ")");

  std::ifstream in(path, std::ios::binary);
  if (!in)
    fail("cannot read the file (" + errnoText(errno) + ")");
  std::string bytes;
  bytes.resize(static_cast<size_t>(size));
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (in.bad())
    fail("cannot read the file (read error)");
  return openMemory(bytes, path, limits);
}

std::unique_ptr<Package> Package::openMemory(const std::string& bytes,
                                             const std::string& nameForErrors,
                                             const PackageLimits& limits) {
  auto fail = [&](const std::string& reason) { throw DocumentError(nameForErrors, "", reason); };
  if (bytes.empty())
    fail("the file is empty");
  if (bytes.size() > limits.maxArchiveSize)
    fail("the file is too large (" + mib(bytes.size()) + "; the limit is " +
         mib(limits.maxArchiveSize) + ")");
  if (startsWith(bytes, "\xD0\xCF\x11\xE0", 4))
    fail("encrypted or password-protected document, or a legacy Word 97-2003 file with a .docx "
         "name");

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
    fail("the archive is damaged (unreadable table of contents)");
  if (static_cast<uint64_t>(count) > limits.maxEntries)
    fail("too many entries (" + std::to_string(count) + "; the limit is " +
         std::to_string(limits.maxEntries) + ")");

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
      fail("the archive is damaged (entry " + std::to_string(i + 1) + " cannot be read)");
    std::string name = zs.name;
    if (unsafeName(name))
      fail("unsafe entry name " + name);
    if (pkg->foldedIndex_.count(lowerAscii(name)))
      fail("duplicate entry name " + name);
    if ((zs.valid & ZIP_STAT_ENCRYPTION_METHOD) && zs.encryption_method != ZIP_EM_NONE)
      fail("encrypted entry " + name);
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
        fail("an entry is too large when unpacked (" + name + ": more than " +
             mib(limits.maxPartSize) + ")");
      if (total > limits.maxTotalSize)
        fail("the document is too large when unpacked (more than " + mib(limits.maxTotalSize) +
             ")");
      if (data.size() > kMiB && data.size() / std::max<uint64_t>(compressed, 1) > limits.maxRatio)
        fail("suspicious compression ratio in entry " + name + " (more than " +
             std::to_string(limits.maxRatio) + " to 1; a zip bomb?)");
    }
    Entry& e = pkg->addEntry(name, std::move(data));
    e.stored = (zs.valid & ZIP_STAT_COMP_METHOD) && zs.comp_method == ZIP_CM_STORE;
  }
  return pkg;
}

std::unique_ptr<Package>
Package::fromEntries(std::vector<std::pair<std::string, std::string>> entries) {
  auto pkg = std::make_unique<Package>();
  for (auto& [name, data] : entries) {
    if (pkg->foldedIndex_.count(lowerAscii(name)))
      throw DocumentError("", name, "duplicate entry name " + name);
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
    e->doc = std::move(doc);
  }
  return e->doc.get();
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
    throw DocumentError(sourcePath_, relsName, "the relationships part has no root");

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
    throw DocumentError(sourcePath_, kContentTypes, "the content types part has no root");
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
    throw DocumentError(sourcePath_, "", "cannot write the archive (" + reason + ")");
  };
  if (entries_.empty())
    return std::string("PK\x05\x06", 4) + std::string(18, '\0');

  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &err);
  if (!out) {
    zip_error_fini(&err);
    fail("out of memory");
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
        abandon("entry " + e->name + ": the temporary file could not be written");
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
      abandon("entry " + e->name + ": " + zip_strerror(za));
    }
    auto i = static_cast<zip_uint64_t>(idx);
    // A fixed time stamp (1980-01-01 00:00) makes equal packages give equal archives.
    if (zip_set_file_compression(za, i, e->stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) != 0 ||
        zip_file_set_dostime(za, i, 0, (0 << 9) | (1 << 5) | 1, 0) != 0)
      abandon("entry " + e->name + ": " + zip_strerror(za));
  }
  if (zip_close(za) != 0)
    abandon(zip_strerror(za));

  std::string bytes;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_open(out) != 0) {
    zip_source_free(out);
    fail("cannot read back the archive");
  }
  if (zip_source_stat(out, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
    bytes.reserve(static_cast<size_t>(st.size));
  std::vector<char> buf(kChunk);
  for (;;) {
    zip_int64_t n = zip_source_read(out, buf.data(), buf.size());
    if (n < 0) {
      zip_source_close(out);
      zip_source_free(out);
      fail("cannot read back the archive");
    }
    if (n == 0)
      break;
    bytes.append(buf.data(), static_cast<size_t>(n));
  }
  zip_source_close(out);
  zip_source_free(out);
  return bytes;
}

void Package::save(const std::string& path,
                   const std::function<void(const std::string&)>& check) const {
  std::string bytes;
  try {
    bytes = saveToString();
  } catch (const DocumentError& e) {
    throw DocumentError(path, e.part(), e.reason());
  }
  saveBytes(path, bytes, check);
}

void Package::saveBytes(const std::string& path, const std::string& bytes,
                        const std::function<void(const std::string& written)>& check) {
  writeAtomically(path, bytes, [&](const std::string& written) {
    checkWrittenPackage(written);
    if (check)
      check(written);
  });
}

} // namespace word
