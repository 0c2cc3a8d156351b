#pragma once
// An OPC package (.docx/.docm/.dotx) held whole in memory: every entry's bytes, with XML parts
// parsed on demand. Unchanged entries are written back byte-identical.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace word {

// Limits applied while an archive is read. Exceeding one fails the open with a DocumentError.
struct PackageLimits {
  size_t maxEntries = 10000;           // entries in the central directory
  uint64_t maxPartSize = 512ull << 20; // inflated size of one entry
  uint64_t maxTotalSize = 1ull << 30;  // inflated size of all entries together
  // Inflated / compressed, checked only once an entry has inflated past ratioFloor. Repetitive
  // text compresses close to deflate's own limit (about 1000 to 1), so a ratio says nothing
  // about small parts: a 12 000-line document of identical lines is legitimate. The absolute
  // bounds above are what keep a bomb's memory bounded; the ratio refuses one early.
  uint64_t maxRatio = 200;
  uint64_t ratioFloor = 128ull << 20;
  uint64_t maxArchiveSize = 512ull << 20; // size of the archive file itself
  unsigned maxXmlDepth = 256;             // element nesting in any parsed XML part
};

// One relationship of a part (from its .rels part).
struct Relationship {
  std::string id, type, target, targetMode;
};

class Package {
public:
  // Reads the archive at `path` (never opened for writing). Rejects: unreadable or empty files,
  // files that are not zip archives (a text file, an OLE compound file - reported as
  // "encrypted or legacy Word document"), inconsistent archives (ZIP_CHECKCONS), duplicate
  // entry names, names with "..", absolute paths or backslashes, limit violations, encrypted
  // entries. Inflated sizes are enforced while reading, not trusted from the headers.
  // Throws DocumentError naming `path` and the reason.
  static std::unique_ptr<Package> open(const std::string& path, const PackageLimits& = {});
  // Same as open() for an archive already in memory; `nameForErrors` is used as the file name
  // in errors and as sourcePath().
  static std::unique_ptr<Package>
  openMemory(const std::string& bytes, const std::string& nameForErrors, const PackageLimits& = {});
  // Builds a package from in-memory entries (name -> bytes), e.g. a generated blank document.
  static std::unique_ptr<Package> fromEntries(std::vector<std::pair<std::string, std::string>>);

  // Entry names in their original archive order.
  std::vector<std::string> names() const;
  bool has(const std::string& name) const;
  // The bytes of an entry as they are now (serialised if its XML was changed).
  std::string bytes(const std::string& name) const;
  // Adds or replaces an entry's raw bytes (drops any parsed XML of it).
  void setBytes(const std::string& name, std::string data);
  void remove(const std::string& name);

  // The parsed XML of a part, parsed on first use with whitespace-only text kept, the
  // declaration kept and DOCTYPE rejected; nesting deeper than the limit is rejected.
  // Returns nullptr when the part does not exist. Throws DocumentError on malformed XML.
  pugi::xml_document* xml(const std::string& name);
  // True when the part's XML is parsed already (xml() returns it without parsing).
  bool parsed(const std::string& name) const;
  // Marks a parsed part as changed so that save() serialises it instead of copying its bytes.
  void markDirty(const std::string& name);
  // The parsed XML of a part marked changed, which save() serialises; nullptr when the part is
  // absent, not parsed or unchanged (its bytes are copied as read). Never parses.
  pugi::xml_document* changedXml(const std::string& name) const;

  // The main document part (from the officeDocument relationship in _rels/.rels), e.g.
  // "word/document.xml". Empty when there is none.
  std::string mainPart();
  // Relationships of a part ("word/document.xml" -> "word/_rels/document.xml.rels"), with
  // targets resolved to entry names for internal targets.
  std::vector<Relationship> relationships(const std::string& part);
  // Resolves a relationship target relative to `part` to an entry name ("" when invalid).
  static std::string resolveTarget(const std::string& part, const std::string& target);
  // Adds a relationship to `part` and returns its new id ("rIdN", unused so far).
  std::string addRelationship(const std::string& part, const std::string& type,
                              const std::string& target);
  // Content type override / default for a part name, and setting an override.
  std::string contentType(const std::string& name);
  void setContentTypeOverride(const std::string& name, const std::string& type);

  // What save() hands a caller's check: the package read back from the temporary file, its
  // XML parts found readable and its main part parsed and kept (xml(mainPart()) does not parse
  // it again; the tree is the part's content, its bytes as read are dropped). The check may take
  // the package over; it throws DocumentError to refuse the file.
  using WrittenCheck = std::function<void(std::unique_ptr<Package>& written)>;
  // Writes the package to `path` atomically: a temporary file of a short fixed-length name in
  // the same folder, fsync, then rename over the entry at `path` (a symbolic or hard link there
  // is replaced, never written through). Before the rename the temporary file is read back
  // once: it must open as a package with content types, root relationships and a main part,
  // and every XML part must parse and hold only UTF-8 text XML 1.0 allows; then `check`, when
  // given, is called with that package (each part is parsed once in all, and no two parsed
  // copies of one part are alive at once). Entries keep their order; unchanged entries are
  // copied byte-identical (same bytes after inflation).
  // Throws DocumentError when the file cannot be written or read back; the target is then left
  // as it was and no temporary file remains.
  void save(const std::string& path, const WrittenCheck& check = {}) const;
  // Writes package bytes made by saveToString() to `path` as save() does, checks included. The
  // package they came from may be gone: a large document need not be held while its output is
  // read back.
  static void saveBytes(const std::string& path, const std::string& bytes,
                        const WrittenCheck& check = {});
  // Why this package, written as it is now, would not read back: the name of the first XML part
  // that is not UTF-8, holds a character XML 1.0 does not allow (raw or as a reference), or
  // does not parse, with the reason. "" when every part would read back.
  std::string readBackProblem() const;
  // The whole archive as bytes (used by tests and the fuzzer).
  std::string saveToString() const;

  const std::string& sourcePath() const { return sourcePath_; }
  // What was repaired while reading (characters XML does not allow, missing package parts),
  // for the user; the reader moves them out.
  std::vector<std::string>& warnings() { return warnings_; }

  Package();
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

private:
  struct Entry;
  std::vector<std::unique_ptr<Entry>> entries_;
  std::map<std::string, size_t> index_;
  std::string sourcePath_;
  PackageLimits limits_;
  std::vector<std::string> warnings_;
  std::map<std::string, size_t> foldedIndex_; // ASCII-lowercased name -> position
  Entry* find(const std::string& name) const;
  Entry& addEntry(const std::string& name, std::string data, bool atFront = false);
  void reindex();
  // readBackProblem() for a package just read back from a file: the part `keep` is parsed into
  // the package (and kept) instead of into a copy that is thrown away.
  std::string readBackProblem(const std::string& keep);
  // Reads back and checks a package as save() wrote it to `path` (see WrittenCheck).
  static std::unique_ptr<Package> readWritten(const std::string& path);
  // Supplies what Word supplies when a package lacks it: the root relationships (to the main
  // document part) and the content types (defaults for the extensions present, overrides for
  // the parts relationships reach). Each repair is a warning.
  void repairStructure();
  pugi::xml_document* xmlOrCreate(const std::string& name, const char* emptyXml);
  // xml() for a part whose bytes as read are not needed again: it is parsed in its bytes
  // (no copy of its text is made) and counts as changed from then on.
  pugi::xml_document* xmlInPlace(const std::string& name);
  // Takes a freshly parsed tree as the part's content. `rootOnly`: the part's bytes declare no
  // namespace below the root element (declaresBelowRoot), so only the root's are looked at.
  void adopt(Entry& e, std::unique_ptr<pugi::xml_document> doc, bool rootOnly);
};

// Parses XML with the package's rules (whitespace text kept, DOCTYPE rejected, depth limit).
// Throws DocumentError(part, reason) on failure.
void parseXml(pugi::xml_document& doc, const std::string& data, const std::string& part,
              unsigned maxDepth);
// Serialises XML the way parts are written back (raw, declaration kept).
std::string serializeXml(const pugi::xml_document& doc);
// Why a conforming XML reader would refuse the bytes of a part written as UTF-8, or "": the
// offset of the first byte that begins no well-formed UTF-8 sequence, or the first character
// XML 1.0 does not allow, raw or as a character reference (with its offset). Text that begins
// with a UTF-16 byte order mark is left to the parser.
std::string xmlTextProblem(std::string_view data);

} // namespace word
