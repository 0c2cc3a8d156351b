// The package layer: byte-exact round trips of real documents, relationship and content-type
// handling, atomic saving, and refusal of hostile or broken archives.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <zip.h>

#include "../common/temp_folder.h"
#include "base/encoding.h"
#include "base/messages.h"
#include "word/document.h"
#include "word/error.h"
#include "word/internal/xmlns.h"
#include "word/package.h"

namespace fs = std::filesystem;
using word::DocumentError;
using word::Package;
using word::PackageLimits;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

using qftest::readFile;

void writeFile(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::vector<fs::path> corpusFiles() {
  std::vector<fs::path> out;
  fs::path dir = fs::path(QF_CORPUS_DIR) / "word";
  if (!fs::is_directory(dir))
    return out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".docx")
      out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

// Reads an archive with libzip alone (not through Package): names in order and inflated bytes.
Entries readWithLibzip(const std::string& bytes) {
  Entries out;
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
  zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &err) : nullptr;
  zip_error_fini(&err);
  if (!za) {
    zip_source_free(src);
    ADD_FAILURE() << "libzip cannot open the archive";
    return out;
  }
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
    auto idx = static_cast<zip_uint64_t>(i);
    std::string data;
    zip_file_t* f = zip_fopen_index(za, idx, 0);
    char buf[8192];
    zip_int64_t n;
    while (f && (n = zip_fread(f, buf, sizeof buf)) > 0)
      data.append(buf, static_cast<size_t>(n));
    if (f)
      zip_fclose(f);
    out.emplace_back(zip_get_name(za, idx, 0), data);
  }
  zip_discard(za);
  return out;
}

// Builds an archive with libzip: every entry deflated (or stored).
std::string zipWithLibzip(const Entries& entries, bool store = false) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &err);
  zip_t* za = zip_open_from_source(out, ZIP_CREATE | ZIP_TRUNCATE, &err);
  zip_error_fini(&err);
  zip_source_keep(out);
  for (const auto& [name, data] : entries) {
    zip_source_t* s = zip_source_buffer(za, data.data(), data.size(), 0);
    zip_int64_t i = zip_file_add(za, name.c_str(), s, ZIP_FL_ENC_UTF_8);
    zip_set_file_compression(za, static_cast<zip_uint64_t>(i),
                             store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
  }
  EXPECT_EQ(zip_close(za), 0);
  std::string bytes;
  zip_source_open(out);
  char buf[65536];
  zip_int64_t n;
  while ((n = zip_source_read(out, buf, sizeof buf)) > 0)
    bytes.append(buf, static_cast<size_t>(n));
  zip_source_close(out);
  zip_source_free(out);
  return bytes;
}

uint32_t crc32(const std::string& s) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; ++k)
      c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

void put16(std::string& s, unsigned v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

// Hand-built stored archive: allows what libzip refuses to write (duplicate names, flags,
// unknown compression methods).
struct RawEntry {
  std::string name, data;
  unsigned flags = 0;
  unsigned method = 0;
};
std::string rawZip(const std::vector<RawEntry>& entries) {
  std::string out, central;
  for (const auto& e : entries) {
    uint32_t offset = static_cast<uint32_t>(out.size());
    uint32_t crc = crc32(e.data), size = static_cast<uint32_t>(e.data.size());
    auto common = [&](std::string& s) {
      put16(s, e.flags);
      put16(s, e.method);
      put16(s, 0);    // time
      put16(s, 0x21); // date 1980-01-01
      put32(s, crc);
      put32(s, size); // compressed
      put32(s, size); // uncompressed
      put16(s, static_cast<unsigned>(e.name.size()));
      put16(s, 0); // extra
    };
    put32(out, 0x04034b50);
    put16(out, 20);
    common(out);
    out += e.name + e.data;
    put32(central, 0x02014b50);
    put16(central, 20);
    put16(central, 20);
    common(central);
    put16(central, 0); // comment
    put16(central, 0); // disk
    put16(central, 0); // internal attributes
    put32(central, 0); // external attributes
    put32(central, offset);
    central += e.name;
  }
  uint32_t cdOffset = static_cast<uint32_t>(out.size());
  out += central;
  put32(out, 0x06054b50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<unsigned>(entries.size()));
  put16(out, static_cast<unsigned>(entries.size()));
  put32(out, static_cast<uint32_t>(central.size()));
  put32(out, cdOffset);
  put16(out, 0);
  return out;
}

const char* kTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
    "</Types>";
const char* kRootRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";
const char* kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:body><w:p><w:r><w:t xml:space=\"preserve\"> a </w:t></w:r></w:p></w:body></w:document>";

Entries minimalEntries(const std::string& document = kDocument) {
  return {
      {"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels}, {"word/document.xml", document}};
}

class PackageTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string tmpl = (fs::path(::testing::TempDir()) / "qf-package-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  std::vector<std::string> listDir(const fs::path& d) const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(d))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir_;
};

// --- round trips --------------------------------------------------------------------------------

TEST_F(PackageTest, CorpusRoundTripKeepsEveryEntryInOrderAndByteIdentical) {
  auto files = corpusFiles();
  if (files.empty())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    Entries original = readWithLibzip(readFile(file));
    auto pkg = Package::open(file.string());
    // Parse everything XML without changing it: parsed but clean parts are still copied.
    for (const auto& name : pkg->names()) {
      if (name.ends_with(".xml") || name.ends_with(".rels")) {
        ASSERT_NE(pkg->xml(name), nullptr);
      }
    }
    fs::path out = dir_ / file.filename();
    pkg->save(out.string());

    Entries saved = readWithLibzip(readFile(out));
    ASSERT_EQ(saved.size(), original.size());
    for (size_t i = 0; i < saved.size(); ++i) {
      EXPECT_EQ(saved[i].first, original[i].first);
      EXPECT_TRUE(saved[i].second == original[i].second) << original[i].first << " changed";
    }
    EXPECT_EQ(pkg->saveToString(), readFile(out)) << "output is not deterministic";
  }
}

TEST_F(PackageTest, ChangedPartIsWrittenAndReparsesEqual) {
  auto files = corpusFiles();
  if (files.empty())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    auto pkg = Package::open(file.string());
    std::string main = pkg->mainPart();
    ASSERT_EQ(main, "word/document.xml");
    pugi::xml_document* doc = pkg->xml(main);
    pugi::xml_node body = doc->document_element().child("w:body");
    ASSERT_TRUE(body);
    pugi::xml_node p = body.prepend_child("w:p");
    p.append_child("w:r").append_child("w:t").text().set("新段落 & <more>");
    pkg->markDirty(main);
    std::string expected = word::serializeXml(*doc);

    auto again = Package::openMemory(pkg->saveToString(), "mem.docx");
    EXPECT_EQ(again->names(), pkg->names());
    EXPECT_EQ(word::serializeXml(*again->xml(main)), expected);
    EXPECT_EQ(again->bytes(main), expected);
    EXPECT_STREQ(
        again->xml(main)->document_element().child("w:body").first_child().child("w:r").child_value(
            "w:t"),
        "新段落 & <more>");
    for (const auto& name : pkg->names()) {
      if (name != main) {
        EXPECT_TRUE(again->bytes(name) == pkg->bytes(name)) << name;
      }
    }
  }
}

TEST_F(PackageTest, SerializedPartKeepsItsDeclarationOnce) {
  pugi::xml_document doc;
  word::parseXml(doc, kDocument, "word/document.xml", 256);
  std::string out = word::serializeXml(doc);
  EXPECT_EQ(
      out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document", 0),
      0u)
      << out;
  EXPECT_EQ(out.find("<?xml", 1), std::string::npos);
  EXPECT_NE(out.find("<w:t xml:space=\"preserve\"> a </w:t>"), std::string::npos);
}

TEST_F(PackageTest, Utf16PartIsWrittenBackAsUtf8) {
  std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>中文</r>";
  std::u16string u = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>中文</r>";
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : u) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  pugi::xml_document doc;
  word::parseXml(doc, utf16, "x.xml", 256);
  EXPECT_EQ(word::serializeXml(doc), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>中文</r>");
}

TEST_F(PackageTest, XmlDepthLimitIsExact) {
  auto nested = [](int levels) {
    std::string s;
    for (int i = 0; i < levels; ++i)
      s += "<a>";
    s += "x";
    for (int i = 0; i < levels; ++i)
      s += "</a>";
    return s;
  };
  pugi::xml_document doc;
  EXPECT_NO_THROW(word::parseXml(doc, nested(8), "p.xml", 8));
  EXPECT_THROW(word::parseXml(doc, nested(9), "p.xml", 8), DocumentError);
  EXPECT_NO_THROW(word::parseXml(doc, "<a/><!-- after -->", "p.xml", 1));
}

// --- relationships and content types ------------------------------------------------------------

TEST(PackageResolve, TargetsResolveAgainstTheSourcePart) {
  struct Case {
    const char *part, *target, *expected;
  } cases[] = {
      {"word/document.xml", "media/image1.png", "word/media/image1.png"},
      {"word/document.xml", "./theme/theme1.xml", "word/theme/theme1.xml"},
      {"word/document.xml", "../customXml/item1.xml", "customXml/item1.xml"},
      {"word/document.xml", "/word/styles.xml", "word/styles.xml"},
      {"word/document.xml", "media\\image2.png", "word/media/image2.png"},
      {"word/document.xml", "styles.xml#frag", "word/styles.xml"},
      {"", "word/document.xml", "word/document.xml"},
      {"", "/docProps/core.xml", "docProps/core.xml"},
      {"word/document.xml", "../../outside.xml", ""},
      {"word/document.xml", "http://example.com/a.png", ""},
      {"word/document.xml", "", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Package::resolveTarget(c.part, c.target), c.expected) << c.part << " + " << c.target;
}

TEST_F(PackageTest, RelationshipsResolveInternalAndKeepExternalTargets) {
  Entries e = minimalEntries();
  e.emplace_back("word/_rels/document.xml.rels",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                 "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                 "relationships\">"
                 "<Relationship Id=\"rId1\" Type=\"t/styles\" Target=\"styles.xml\"/>"
                 "<Relationship Id=\"rId2\" Type=\"t/hyperlink\" Target=\"https://x.org/a?b#c\" "
                 "TargetMode=\"External\"/>"
                 "<Relationship Id=\"rId3\" Type=\"t/image\" Target=\"Media/Image1.PNG\"/>"
                 "</Relationships>");
  e.emplace_back("word/styles.xml", "<w:styles/>");
  e.emplace_back("word/media/image1.png", "\x89PNG");
  auto pkg = Package::fromEntries(e);
  auto rels = pkg->relationships("word/document.xml");
  ASSERT_EQ(rels.size(), 3u);
  EXPECT_EQ(rels[0].target, "word/styles.xml");
  EXPECT_EQ(rels[1].target, "https://x.org/a?b#c");
  EXPECT_EQ(rels[1].targetMode, "External");
  EXPECT_EQ(rels[2].target, "word/media/image1.png"); // part names ignore case
  EXPECT_TRUE(pkg->relationships("word/styles.xml").empty());
  EXPECT_EQ(pkg->mainPart(), "word/document.xml");
}

TEST_F(PackageTest, AddRelationshipCreatesThePartAndItsContentType) {
  Entries e = minimalEntries();
  e[0].second = "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
  auto pkg = Package::fromEntries(e);
  EXPECT_EQ(pkg->contentType("_rels/.rels"), "");
  std::string a = pkg->addRelationship("word/document.xml", "t/image", "media/image1.png");
  std::string b = pkg->addRelationship("word/document.xml", "t/hyperlink", "https://example.com/");
  EXPECT_EQ(a, "rId1");
  EXPECT_EQ(b, "rId2");
  EXPECT_EQ(pkg->contentType("word/_rels/document.xml.rels"),
            "application/vnd.openxmlformats-package.relationships+xml");

  auto again = Package::openMemory(pkg->saveToString(), "mem.docx");
  auto rels = again->relationships("word/document.xml");
  ASSERT_EQ(rels.size(), 2u);
  EXPECT_EQ(rels[0].id, "rId1");
  EXPECT_EQ(rels[0].target, "word/media/image1.png");
  EXPECT_EQ(rels[0].targetMode, "");
  EXPECT_EQ(rels[1].target, "https://example.com/");
  EXPECT_EQ(rels[1].targetMode, "External");
  EXPECT_EQ(again->contentType("word/_rels/document.xml.rels"),
            "application/vnd.openxmlformats-package.relationships+xml");
}

TEST_F(PackageTest, AddRelationshipPicksAnUnusedId) {
  auto files = corpusFiles();
  if (files.empty())
    GTEST_SKIP();
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    auto pkg = Package::open(file.string());
    auto before = pkg->relationships("word/document.xml");
    std::string id = pkg->addRelationship("word/document.xml", "t/x", "extra.xml");
    for (const auto& r : before)
      EXPECT_NE(r.id, id);
    auto after = pkg->relationships("word/document.xml");
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back().target, "word/extra.xml");
  }
}

TEST_F(PackageTest, ContentTypesOverrideBeforeDefaultAndIgnoreCase) {
  auto pkg = Package::fromEntries(minimalEntries());
  EXPECT_EQ(pkg->contentType("word/document.xml"),
            "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
  EXPECT_EQ(pkg->contentType("/WORD/Document.XML"), pkg->contentType("word/document.xml"));
  EXPECT_EQ(pkg->contentType("word/styles.XML"), "application/xml");
  EXPECT_EQ(pkg->contentType("word/media/image1.png"), "");

  pkg->setContentTypeOverride("word/styles.xml", "text/x-styles");
  pkg->setContentTypeOverride("/word/document.xml", "text/x-main");
  auto again = Package::openMemory(pkg->saveToString(), "mem.docx");
  EXPECT_EQ(again->contentType("word/styles.xml"), "text/x-styles");
  EXPECT_EQ(again->contentType("word/document.xml"), "text/x-main");
  EXPECT_EQ(again->names().front(), "[Content_Types].xml");
}

TEST_F(PackageTest, EntryEditsKeepOrder) {
  auto pkg = Package::fromEntries(minimalEntries());
  pkg->setBytes("word/media/a.png", "A");
  pkg->setBytes("_rels/.rels", kRootRels); // replaced in place
  pkg->remove("word/document.xml");
  EXPECT_EQ(pkg->names(),
            (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels", "word/media/a.png"}));
  EXPECT_EQ(pkg->xml("word/document.xml"), nullptr);
  EXPECT_EQ(pkg->mainPart(), "");
  EXPECT_THROW(Package::fromEntries({{"a.xml", "1"}, {"A.xml", "2"}}), DocumentError);
}

// --- saving -------------------------------------------------------------------------------------

TEST_F(PackageTest, SaveIntoMissingFolderThrowsAndCreatesNothing) {
  auto pkg = Package::fromEntries(minimalEntries());
  fs::path target = dir_ / "missing" / "out.docx";
  try {
    pkg->save(target.string());
    FAIL() << "saved into a missing folder";
  } catch (const DocumentError& e) {
    EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_TRUE(listDir(dir_).empty());
}

TEST_F(PackageTest, SaveReplacesExistingFileAndLeavesNoTemporaryFiles) {
  fs::path target = dir_ / "out.docx";
  writeFile(target, "old contents");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  auto pkg = Package::fromEntries(minimalEntries());
  pkg->save(target.string());
  EXPECT_EQ(readFile(target), pkg->saveToString());
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(listDir(dir_), std::vector<std::string>{"out.docx"});
}

TEST_F(PackageTest, FailedWriteLeavesOldFileIntact) {
  fs::path target = dir_ / "out.docx";
  writeFile(target, "old contents");
  Entries big = minimalEntries();
  std::string noise(256 * 1024, '\0');
  uint32_t x = 12345;
  for (char& c : noise)
    c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  big.emplace_back("word/media/noise.bin", noise);
  auto pkg = Package::fromEntries(big);

  // A file-size limit makes the write fail part way, as a full disk would.
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    pkg->save(target.string());
  } catch (const DocumentError& e) {
    threw = true;
    EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos);
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(threw);
  EXPECT_EQ(readFile(target), "old contents");
  EXPECT_EQ(listDir(dir_), std::vector<std::string>{"out.docx"});
}

TEST_F(PackageTest, SaveOverAFolderThrowsAndKeepsIt) {
  fs::create_directory(dir_ / "taken.docx");
  writeFile(dir_ / "taken.docx" / "keep", "x");
  auto pkg = Package::fromEntries(minimalEntries());
  EXPECT_THROW(pkg->save((dir_ / "taken.docx").string()), DocumentError);
  EXPECT_EQ(readFile(dir_ / "taken.docx" / "keep"), "x");
  EXPECT_EQ(listDir(dir_), std::vector<std::string>{"taken.docx"});
}

// --- hostile and broken input -------------------------------------------------------------------

std::string deepXml(int levels) {
  std::string s = "<?xml version=\"1.0\"?>";
  s.reserve(static_cast<size_t>(levels) * 7 + 32);
  for (int i = 0; i < levels; ++i)
    s += "<a>";
  for (int i = 0; i < levels; ++i)
    s += "</a>";
  return s;
}

// A copy of a corpus document with one byte pattern altered.
std::string corpusBytes() {
  auto files = corpusFiles();
  if (!files.empty())
    return readFile(files.front());
  return zipWithLibzip(minimalEntries());
}

TEST_F(PackageTest, BadInputIsRefusedWithAReason) {
  struct Case {
    const char* file;
    std::function<std::string()> bytes;
    PackageLimits limits;
    const char* reason;
  };
  PackageLimits few;
  few.maxEntries = 3;
  PackageLimits smallPart;
  smallPart.maxPartSize = 1 << 20;
  smallPart.maxRatio = 1 << 30;
  PackageLimits smallTotal;
  smallTotal.maxTotalSize = 1 << 20;
  PackageLimits smallArchive;
  smallArchive.maxArchiveSize = 100;
  PackageLimits lowRatioFloor;
  lowRatioFloor.ratioFloor = 1 << 20;

  auto withDocument = [](std::string xml) {
    return [xml] { return zipWithLibzip(minimalEntries(xml)); };
  };
  auto raw = [](std::vector<RawEntry> e) { return [e] { return rawZip(e); }; };

  const std::vector<Case> cases = {
      {"empty.docx", [] { return std::string(); }, {}, msg::kFileEmpty},
      {"text.docx",
       [] { return std::string("Dear reader,\r\nthis is plain text.\r\n"); },
       {},
       "不是 Word 文档（不是 zip 压缩包）"},
      {"legacy.docx",
       [] { return std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + std::string(504, '\0'); },
       {},
       msg::kOleNotPackage},
      {"truncated.docx",
       [] {
         std::string b = corpusBytes();
         return b.substr(0, b.size() / 2);
       },
       {},
       "压缩包已损坏"},
      {"bad-directory.docx",
       [] {
         // Point the first central directory record at a bogus local header offset.
         std::string b = corpusBytes();
         size_t cd = b.find(std::string("PK\x01\x02", 4));
         b.replace(cd + 42, 4, "\x10\x00\x00\x00", 4);
         return b;
       },
       {},
       "压缩包已损坏"},
      {"duplicate.docx",
       raw({{"word/document.xml", "<a/>"}, {"word/document.xml", "<b/>"}}),
       {},
       "压缩包中有重名的条目 word/document.xml"},
      {"case-duplicate.docx",
       raw({{"word/document.xml", "<a/>"}, {"Word/Document.xml", "<b/>"}}),
       {},
       "压缩包中有重名的条目 Word/Document.xml"},
      {"dotdot.docx", raw({{"../x", "1"}}), {}, "不安全的条目名 ../x"},
      {"dotdot-inner.docx", raw({{"word/../../x", "1"}}), {}, "不安全的条目名 word/../../x"},
      {"absolute.docx", raw({{"/abs", "1"}}), {}, "不安全的条目名 /abs"},
      {"backslash.docx", raw({{"a\\b", "1"}}), {}, "不安全的条目名 a\\b"},
      {"drive.docx", raw({{"C:/x", "1"}}), {}, "不安全的条目名 C:/x"},
      {"encrypted.docx",
       raw({{"word/document.xml", "0123456789ab<a/>", 1}}),
       {},
       "条目 word/document.xml 已加密"},
      {"method.docx", raw({{"word/document.xml", "<a/>", 0, 97}}), {}, "不支持的压缩方式"},
      {"bomb.docx",
       [] {
         return zipWithLibzip({{"word/zeros.bin", std::string(8 << 20, '\0')}});
       },
       lowRatioFloor, "条目 word/zeros.bin 的压缩比异常"},
      {"big-part.docx",
       [] {
         return zipWithLibzip({{"word/big.bin", std::string((1 << 20) + 1, 'x')}});
       },
       smallPart, "条目解压后太大（word/big.bin"},
      {"big-total.docx",
       [] {
         return zipWithLibzip(
             {{"a.bin", std::string(600 << 10, 'x')}, {"b.bin", std::string(600 << 10, 'y')}});
       },
       smallTotal, "解压后太大"},
      {"big-archive.docx", [] { return zipWithLibzip(minimalEntries()); }, smallArchive,
       "文件太大"},
      {"many.docx",
       [] {
         return zipWithLibzip({{"1", ""}, {"2", ""}, {"3", ""}, {"4", ""}, {"5", ""}});
       },
       few, "条目太多（5 个，上限为 3 个）"},
      {"doctype.docx",
       withDocument("<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY e \"boom\">]><d>&e;</d>"),
       {},
       "word/document.xml: 含有 DOCTYPE 或实体声明"},
      {"malformed.docx",
       withDocument("<w:document><w:body></w:document>"),
       {},
       "word/document.xml: XML 格式错误"},
      {"deep.docx", withDocument(deepXml(100000)), {}, "word/document.xml: XML 嵌套超过 256 层"},
      {"not-xml.docx", withDocument(""), {}, "word/document.xml: XML 格式错误"},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    fs::path path = dir_ / c.file;
    writeFile(path, c.bytes());
    try {
      auto pkg = Package::open(path.string(), c.limits);
      for (const auto& name : pkg->names())
        if (name.ends_with(".xml") || name.ends_with(".rels"))
          pkg->xml(name);
      ADD_FAILURE() << "accepted";
    } catch (const DocumentError& e) {
      std::string what = e.what();
      EXPECT_NE(what.find(path.string()), std::string::npos) << what;
      EXPECT_NE(what.find(c.reason), std::string::npos) << what;
    }
  }
}

TEST_F(PackageTest, UnreadablePathsAreRefusedWithAReason) {
  struct Case {
    fs::path path;
    const char* reason;
  } cases[] = {
      {dir_ / "absent.docx", msg::kFileMissing},
      {dir_, msg::kFileIsFolder},
  };
  for (const auto& c : cases) {
    try {
      Package::open(c.path.string());
      ADD_FAILURE() << c.path << " accepted";
    } catch (const DocumentError& e) {
      EXPECT_NE(std::string(e.what()).find(c.path.string()), std::string::npos);
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

TEST_F(PackageTest, HeaderSizesAreNotTrusted) {
  // The headers claim 10 bytes, the entry inflates to 2 MiB: the entry is read to its real end
  // and the part limit applies to what was inflated.
  std::string b = zipWithLibzip({{"word/big.bin", std::string(2 << 20, 'x')}});
  std::string claimed;
  put32(claimed, 10);
  size_t local = b.find(std::string("PK\x03\x04", 4));
  size_t central = b.find(std::string("PK\x01\x02", 4));
  b.replace(local + 22, 4, claimed);
  b.replace(central + 24, 4, claimed);
  PackageLimits limits;
  limits.maxRatio = 1 << 30;
  EXPECT_EQ(Package::openMemory(b, "lying.docx", limits)->bytes("word/big.bin").size(), 2u << 20);
  limits.maxPartSize = 1 << 20;
  try {
    Package::openMemory(b, "lying.docx", limits);
    ADD_FAILURE() << "accepted";
  } catch (const DocumentError& e) {
    EXPECT_NE(std::string(e.what()).find("lying.docx: 条目解压后太大"), std::string::npos)
        << e.what();
  }
}

// ---- documents that are valid or that Word repairs --------------------------------------------

std::string documentWithText(const std::string& text, const char* declaration = "UTF-8") {
  return std::string("<?xml version=\"1.0\" encoding=\"") + declaration +
         "\" standalone=\"yes\"?>\r\n<w:document "
         "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body><w:p>"
         "<w:r><w:t>" +
         text + "</w:t></w:r></w:p></w:body></w:document>";
}

std::string convertTo(const std::string& utf8, const char* encoding) {
  std::string out;
  EXPECT_TRUE(base::convertFromUtf8(utf8, encoding, out)) << encoding;
  return out;
}

std::unique_ptr<word::Document> openBytes(const std::string& zip, const std::string& name) {
  return word::Document::fromPackage(Package::openMemory(zip, name), name);
}

std::string firstParagraph(word::Document& d) {
  return d.paragraphs().item(1).range().text();
}

TEST(PackageLimitsTest, RepetitiveDocumentIsNotAZipBomb) {
  std::string body;
  for (int i = 0; i < 12000; ++i)
    body += "<w:p><w:r><w:t>本行文字与其余各行完全相同，用来检验重复的文档。</w:t></w:r></w:p>";
  std::string xml =
      documentWithText("").replace(documentWithText("").find("<w:p>"),
                                   std::string("<w:p><w:r><w:t></w:t></w:r></w:p>").size(), body);
  std::string zip = zipWithLibzip(minimalEntries(xml));
  // Deflate packs these lines far beyond the ratio limit: the case is the one that matters.
  ASSERT_GT(xml.size() / zip.size(), PackageLimits{}.maxRatio);
  auto d = openBytes(zip, "repetitive.docx");
  EXPECT_EQ(d->paragraphs().count(), 12000);
}

TEST(PackageEncodingTest, PartsInOtherEncodingsAreReadAndWrittenAsUtf8) {
  const std::string text = "关于印发《排版规范》的通知";
  const std::string big5Text = "關於印發《排版規範》的通知";
  struct Case {
    const char* name;
    std::string part;
    std::string expected;
  };
  const Case cases[] = {
      {"gbk", convertTo(documentWithText(text, "GBK"), "GBK"), text},
      {"gb2312", convertTo(documentWithText(text, "gb2312"), "GB2312"), text},
      {"gb18030", convertTo(documentWithText(text, "GB18030"), "GB18030"), text},
      {"big5", convertTo(documentWithText(big5Text, "Big5"), "BIG5"), big5Text},
      {"utf-16le-bom", "\xFF\xFE" + convertTo(documentWithText(text, "UTF-16"), "UTF-16LE"), text},
      {"utf-16be-bom", "\xFE\xFF" + convertTo(documentWithText(text, "UTF-16"), "UTF-16BE"), text},
      {"utf-16le-no-bom", convertTo(documentWithText(text, "UTF-16"), "UTF-16LE"), text},
      {"utf-8-bom", "\xEF\xBB\xBF" + documentWithText(text), text},
      {"utf-16-label-on-utf-8", documentWithText(text, "UTF-16"), text},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // A part the model never parses is written back in UTF-8 too.
    Entries entries = minimalEntries(c.part);
    entries.emplace_back("customXml/item1.xml", c.part);
    auto d = openBytes(zipWithLibzip(entries), std::string(c.name) + ".docx");
    EXPECT_EQ(firstParagraph(*d), c.expected + "\r");
    auto out = readWithLibzip(d->saveToString());
    for (const char* name : {"word/document.xml", "customXml/item1.xml"}) {
      auto part =
          std::find_if(out.begin(), out.end(), [&](const auto& e) { return e.first == name; });
      ASSERT_NE(part, out.end());
      EXPECT_NE(part->second.find(c.expected), std::string::npos) << name;
      EXPECT_NE(part->second.find("encoding=\"UTF-8\""), std::string::npos) << part->second;
    }
  }
}

TEST(PackageEncodingTest, BytesThatDoNotMatchTheDeclarationFailNamingFileAndPart) {
  const std::string text = "关于印发的通知";
  struct Case {
    const char* name;
    std::string part;
    const char* reason;
  };
  const Case cases[] = {
      {"gbk-under-utf8", convertTo(documentWithText(text), "GBK"), "声明的编码为 UTF-8"},
      {"gbk-undeclared",
       convertTo(
           documentWithText(text).substr(
               std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n")
                   .size()),
           "GBK"),
       "声明的编码为 UTF-8"},
      {"bad-gbk", documentWithText("\x81\x20\xFF", "GBK"), "声明的编码为 GBK"},
      {"unknown", documentWithText("a", "x-no-such-encoding"), "无法识别的编码 x-no-such-encoding"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = std::string(c.name) + ".docx";
    try {
      openBytes(zipWithLibzip(minimalEntries(c.part)), file);
      ADD_FAILURE() << "accepted";
    } catch (const DocumentError& e) {
      EXPECT_EQ(e.file(), file);
      EXPECT_EQ(e.part(), "word/document.xml");
      EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.reason();
    }
  }
}

TEST(PackageRepairTest, CharactersXmlDoesNotAllowAreDroppedWithAWarning) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"ref-1", "前&#1;后", "前后"},
      {"ref-0", "前&#0;后文不丢", "前后文不丢"},
      {"hex-ref", "前&#x1F;后&#xFFFE;尾", "前后尾"},
      {"raw-byte", "前\x01\x0B后", "前后"},
      {"non-character", "前\xEF\xBF\xBF后", "前后"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = openBytes(zipWithLibzip(minimalEntries(documentWithText(c.text))), "c.docx");
    EXPECT_EQ(firstParagraph(*d), c.expected + "\r");
    ASSERT_EQ(d->warnings().size(), 1u);
    EXPECT_NE(d->warnings()[0].find("word/document.xml"), std::string::npos);
    auto again = openBytes(d->saveToString(), "again.docx");
    EXPECT_EQ(firstParagraph(*again), c.expected + "\r");
  }
  // Allowed references stay as they are.
  auto d =
      openBytes(zipWithLibzip(minimalEntries(documentWithText("&#9;&#x4E2D;&#65;"))), "ok.docx");
  EXPECT_EQ(firstParagraph(*d), "\t中A\r");
  EXPECT_TRUE(d->warnings().empty());
}

TEST(PackageRepairTest, MissingContentTypesAndRootRelationshipsAreSupplied) {
  const char* docRels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
      "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "styles\" Target=\"styles.xml\"/><Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
      "Target=\"media/image1.png\"/></Relationships>";
  const char* styles = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:styles "
                       "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"/>";
  const std::string doc = documentWithText("正文");
  struct Case {
    const char* name;
    Entries entries;
    size_t warnings;
  };
  const Case cases[] = {
      {"no-types",
       {{"_rels/.rels", kRootRels},
        {"word/document.xml", doc},
        {"word/_rels/document.xml.rels", docRels},
        {"word/styles.xml", styles},
        {"word/media/image1.png", "\x89PNG"}},
       1},
      {"no-root-rels", {{"[Content_Types].xml", kTypes}, {"word/document.xml", doc}}, 1},
      {"neither",
       {{"word/document.xml", doc},
        {"word/_rels/document.xml.rels", docRels},
        {"word/styles.xml", styles},
        {"word/media/image1.png", "\x89PNG"}},
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = openBytes(zipWithLibzip(c.entries), std::string(c.name) + ".docx");
    EXPECT_EQ(firstParagraph(*d), "正文\r");
    EXPECT_EQ(d->warnings().size(), c.warnings);
    auto pkg = Package::openMemory(d->saveToString(), "out.docx");
    EXPECT_TRUE(pkg->warnings().empty());
    EXPECT_EQ(pkg->mainPart(), "word/document.xml");
    EXPECT_EQ(pkg->contentType("word/document.xml"),
              "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
    EXPECT_EQ(pkg->contentType("_rels/.rels"),
              "application/vnd.openxmlformats-package.relationships+xml");
    if (pkg->has("word/styles.xml") && std::string(c.name) != "no-root-rels") {
      EXPECT_EQ(pkg->contentType("word/styles.xml"),
                "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml");
      EXPECT_EQ(pkg->contentType("word/media/image1.png"), "image/png");
    }
  }
}

TEST(NormalizeNamespaces, NamesAreResolvedThroughTheDeclarationsInScope) {
  const std::string W = "\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
  const std::string R = "\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
  const std::string MC = "\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";
  struct Case {
    const char* name;
    std::string in;
    bool changed;
    std::vector<std::string> names; // element and attribute names in document order
  };
  const Case cases[] = {
      {"usual",
       "<w:document xmlns:w=" + W + "><w:body w:a=\"1\"/></w:document>",
       false,
       {"w:document", "w:body", "w:a"}},
      {"ns0",
       "<ns0:document xmlns:ns0=" + W + " xmlns:ns1=" + R +
           "><ns0:body><ns0:p ns0:rsidR=\"1\" ns1:id=\"rId1\"/></ns0:body></ns0:document>",
       true,
       {"w:document", "w:body", "w:p", "w:rsidR", "r:id"}},
      {"nested",
       "<w:document xmlns:w=" + W + "><w:body><x:p xmlns:x=" + W +
           "><x:r x:a=\"1\"/></x:p><w:p/></w:body></w:document>",
       true,
       {"w:document", "w:body", "w:p", "w:r", "w:a", "w:p"}},
      {"default",
       "<document xmlns=" + W + " xmlns:wa=" + W +
           "><body><foo xmlns=\"urn:other\" a=\"1\"><bar/></foo><p wa:b=\"2\" c=\"3\"/>"
           "</body></document>",
       true,
       {"w:document", "w:body", "foo", "a", "bar", "w:p", "w:b", "w:c"}},
      {"w-taken",
       "<ns0:document xmlns:ns0=" + W + " xmlns:w=\"urn:other\"><w:x/></ns0:document>",
       false,
       {"ns0:document", "w:x"}},
      {"w-taken-below",
       "<ns0:document xmlns:ns0=" + W +
           "><ns0:body><w:x xmlns:w=\"urn:other\"/></ns0:body></ns0:document>",
       false,
       {"ns0:document", "ns0:body", "w:x"}},
  };
  // Each case as it stands and with what the bytes tell of declarations below the root.
  for (bool told : {false, true})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (told ? ", told by the bytes" : ""));
      pugi::xml_document doc;
      ASSERT_TRUE(doc.load_string(c.in.c_str()));
      EXPECT_EQ(word::normalizeNamespaces(doc, told && !word::declaresBelowRoot(c.in)), c.changed);
      std::vector<std::string> names;
      std::function<void(pugi::xml_node)> walk = [&](pugi::xml_node n) {
        names.push_back(n.name());
        for (auto a : n.attributes())
          if (std::string(a.name()).rfind("xmlns", 0) != 0)
            names.push_back(a.name());
        for (auto k : n.children())
          walk(k);
      };
      walk(doc.document_element());
      EXPECT_EQ(names, c.names);
      if (c.changed) {
        EXPECT_STREQ(doc.document_element().first_attribute().name(), "xmlns:w");
      }
    }
  // Prefixes that mc:Ignorable names without a declaration are dropped from it.
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(("<w:document xmlns:w=" + W + " xmlns:mc=" + MC +
                               " xmlns:w14=\"urn:w14\" mc:Ignorable=\"w14 wp14 w15\"/>")
                                  .c_str()));
  EXPECT_TRUE(word::normalizeNamespaces(doc));
  EXPECT_STREQ(doc.document_element().attribute("mc:Ignorable").value(), "w14");
}

// Whether the bytes of a part show that no element below the root declares a namespace: a
// declaration below the root must never go unseen (quotes, comments and instructions around the
// root's start tag included); where the bytes cannot tell, the answer is "it may".
TEST(NormalizeNamespaces, DeclarationsBelowTheRootAreNeverMissed) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    std::string xml;
    bool below;
  } cases[] = {
      {"root only", "<a xmlns=\"u\" xmlns:w=\"v\"><b/></a>", false},
      {"declaration, comment and instruction before the root",
       "<?xml version=\"1.0\"?><!-- <c xmlns:q='u'> --><?pi <d?><a xmlns:w=\"v\"><b/></a>", false},
      {"a '>' in a root attribute value", "<a t=\"1>2\" u='>' xmlns:w=\"v\"><b/></a>", false},
      {"UTF-8 byte order mark", "\xEF\xBB\xBF<a xmlns:w=\"v\"><b/></a>", false},
      {"a prefixed declaration below", "<a xmlns:w=\"v\"><b xmlns:x=\"u\"/></a>", true},
      {"a default declaration below", "<a><b><c xmlns=\"u\"/></b></a>", true},
      {"a quote of the other kind in a root value", "<a b='x\"y'><c xmlns:q=\"u\"/></a>", true},
      {"a '>' in a root value, declaration below", "<a b=\"x>y\"><c xmlns:q=\"u\"/></a>", true},
      {"the word in text (cannot tell)", "<a><b>xmlns</b></a>", true},
      {"a document type", "<!DOCTYPE a><a><b/></a>", true},
      {"no element", "<!-- xmlns -->", true},
      {"an unclosed comment", "<!-- <a><b/></a>", true},
      {"an unclosed root tag", "<a xmlns=\"u\"", true},
      {"UTF-16 with a byte order mark", "\xFF\xFE<\0a\0>\0<\0/\0a\0>\0"s, true},
      {"UTF-16 without one", "<\0a\0>\0<\0/\0a\0>\0"s, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(word::declaresBelowRoot(c.xml), c.below) << c.name;
}

} // namespace
