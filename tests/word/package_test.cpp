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

#include "word/error.h"
#include "word/package.h"

namespace fs = std::filesystem;
using word::DocumentError;
using word::Package;
using word::PackageLimits;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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

  auto withDocument = [](std::string xml) {
    return [xml] { return zipWithLibzip(minimalEntries(xml)); };
  };
  auto raw = [](std::vector<RawEntry> e) { return [e] { return rawZip(e); }; };

  const std::vector<Case> cases = {
      {"empty.docx", [] { return std::string(); }, {}, "the file is empty"},
      {"text.docx",
       [] { return std::string("Dear reader,\r\nthis is plain text.\r\n"); },
       {},
       "not a Word document (no zip archive)"},
      {"legacy.docx",
       [] { return std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + std::string(504, '\0'); },
       {},
       "encrypted or password-protected document, or a legacy Word 97-2003 file"},
      {"truncated.docx",
       [] {
         std::string b = corpusBytes();
         return b.substr(0, b.size() / 2);
       },
       {},
       "the archive is damaged"},
      {"bad-directory.docx",
       [] {
         // Point the first central directory record at a bogus local header offset.
         std::string b = corpusBytes();
         size_t cd = b.find(std::string("PK\x01\x02", 4));
         b.replace(cd + 42, 4, "\x10\x00\x00\x00", 4);
         return b;
       },
       {},
       "the archive is damaged"},
      {"duplicate.docx",
       raw({{"word/document.xml", "<a/>"}, {"word/document.xml", "<b/>"}}),
       {},
       "duplicate entry name word/document.xml"},
      {"case-duplicate.docx",
       raw({{"word/document.xml", "<a/>"}, {"Word/Document.xml", "<b/>"}}),
       {},
       "duplicate entry name Word/Document.xml"},
      {"dotdot.docx", raw({{"../x", "1"}}), {}, "unsafe entry name ../x"},
      {"dotdot-inner.docx", raw({{"word/../../x", "1"}}), {}, "unsafe entry name word/../../x"},
      {"absolute.docx", raw({{"/abs", "1"}}), {}, "unsafe entry name /abs"},
      {"backslash.docx", raw({{"a\\b", "1"}}), {}, "unsafe entry name a\\b"},
      {"drive.docx", raw({{"C:/x", "1"}}), {}, "unsafe entry name C:/x"},
      {"encrypted.docx",
       raw({{"word/document.xml", "0123456789ab<a/>", 1}}),
       {},
       "encrypted entry word/document.xml"},
      {"method.docx",
       raw({{"word/document.xml", "<a/>", 0, 97}}),
       {},
       "compression method that is not supported"},
      {"bomb.docx",
       [] {
         return zipWithLibzip({{"word/zeros.bin", std::string(8 << 20, '\0')}});
       },
       {},
       "suspicious compression ratio in entry word/zeros.bin"},
      {"big-part.docx",
       [] {
         return zipWithLibzip({{"word/big.bin", std::string((1 << 20) + 1, 'x')}});
       },
       smallPart, "an entry is too large when unpacked (word/big.bin"},
      {"big-total.docx",
       [] {
         return zipWithLibzip(
             {{"a.bin", std::string(600 << 10, 'x')}, {"b.bin", std::string(600 << 10, 'y')}});
       },
       smallTotal, "too large when unpacked"},
      {"big-archive.docx", [] { return zipWithLibzip(minimalEntries()); }, smallArchive,
       "the file is too large"},
      {"many.docx",
       [] {
         return zipWithLibzip({{"1", ""}, {"2", ""}, {"3", ""}, {"4", ""}, {"5", ""}});
       },
       few, "too many entries (5; the limit is 3)"},
      {"doctype.docx",
       withDocument("<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY e \"boom\">]><d>&e;</d>"),
       {},
       "word/document.xml: DOCTYPE/entity declarations are not allowed"},
      {"malformed.docx",
       withDocument("<w:document><w:body></w:document>"),
       {},
       "word/document.xml: malformed XML"},
      {"deep.docx",
       withDocument(deepXml(100000)),
       {},
       "word/document.xml: XML nested deeper than 256 levels"},
      {"not-xml.docx", withDocument(""), {}, "word/document.xml: malformed XML"},
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
      {dir_ / "absent.docx", "the file does not exist"},
      {dir_, "this is a folder, not a file"},
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
    EXPECT_NE(std::string(e.what()).find("lying.docx: an entry is too large when unpacked"),
              std::string::npos)
        << e.what();
  }
}

} // namespace
