// Round trips of documents made by LibreOffice from every legacy format: text, tables,
// pictures, fields, headers and unknown parts must survive opening, editing and saving.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "word/convert.h"
#include "word/document.h"
#include "word/filetypes.h"
#include "word/internal/access.h"
#include "word/internal/story.h"

namespace fs = std::filesystem;

namespace {

// A flat ODF text document with a header, a table, a PAGE field and an inline picture.
const char* kFodt = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:automatic-styles>
  <style:page-layout style:name="pm1">
   <style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"/>
   <style:header-style/>
  </style:page-layout>
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Standard" style:page-layout-name="pm1">
   <style:header><text:p>页眉文字</text:p></style:header>
  </style:master-page>
 </office:master-styles>
 <office:body><office:text>
  <text:p>第一段 text</text:p>
  <table:table table:name="T1"><table:table-column table:number-columns-repeated="2"/>
   <table:table-row>
    <table:table-cell office:value-type="string"><text:p>甲</text:p></table:table-cell>
    <table:table-cell office:value-type="string"><text:p>乙</text:p></table:table-cell>
   </table:table-row>
  </table:table>
  <text:p>页码<text:page-number text:select-page="current">1</text:page-number></text:p>
  <text:p><draw:frame draw:name="img1" text:anchor-type="as-char" svg:width="1cm" svg:height="1cm"><draw:image><office:binary-data>iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==</office:binary-data></draw:image></draw:frame>图后</text:p>
 </office:text></office:body>
</office:document>
)";

class RoundTrip : public ::testing::Test {
protected:
  void SetUp() override {
    if (word::findSoffice().empty())
      GTEST_SKIP() << "LibreOffice is not installed";
    char tmpl[] = "/tmp/qf-roundtrip-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty())
      fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
  std::string dir_;
};

// What a user would check in any of the documents.
void expectContent(word::Document& d, const std::string& label) {
  std::string text = d.contentRange().text();
  for (const char* piece : {"第一段 text", "甲", "乙", "页码", "图后"})
    EXPECT_NE(text.find(piece), std::string::npos)
        << label << ": missing " << piece << " in " << text;
  EXPECT_EQ(d.tablesCount(), 1) << label;
  EXPECT_NE(text.find('\x01'), std::string::npos) << label << ": picture lost";
  std::string xml = word::packageOf(d).bytes(d.content().part());
  EXPECT_NE(xml.find("PAGE"), std::string::npos) << label << ": page field lost";
  bool media = false;
  for (const auto& n : word::packageOf(d).names())
    if (n.rfind("word/media/", 0) == 0)
      media = true;
  EXPECT_TRUE(media) << label << ": picture part lost";
  bool header = false;
  for (auto& hf : d.headerFooters())
    if (hf.type == word::StoryType::Header &&
        word::Range(hf.story, 0, hf.story->length()).text().find("页眉文字") != std::string::npos)
      header = true;
  EXPECT_TRUE(header) << label << ": header lost";
}

} // namespace

TEST_F(RoundTrip, LegacyFormatsSurviveOpenEditSave) {
  std::string src = path("source.fodt");
  std::ofstream(src) << kFodt;
  std::vector<word::ConversionJob> jobs;
  for (const char* ext : {"docx", "doc", "rtf", "odt"}) {
    word::ConversionJob j;
    j.input = src;
    j.output = path(std::string("made.") + ext);
    jobs.push_back(j);
  }
  word::convertFiles(jobs);
  for (const auto& j : jobs)
    ASSERT_TRUE(j.ok) << j.output << ": " << j.error;

  for (const char* ext : {"docx", "doc", "rtf", "odt"}) {
    std::string label = std::string("made.") + ext;
    word::Application app;
    word::Document& d = app.open(path(label));
    expectContent(d, label + " opened");

    // An unknown part rides along untouched; an edit in the text keeps everything else.
    word::packageOf(d).setBytes("customXml/quillfold-test.xml", "<x>keep me</x>");
    d.paragraphs().item(1).range().insertBefore("改");
    std::string out = path(std::string("saved-") + ext + ".docx");
    d.saveAs(out);
    word::Application app2;
    word::Document& again = app2.open(out);
    expectContent(again, label + " saved");
    EXPECT_EQ(again.paragraphs().item(1).range().text().rfind("改第一段", 0), 0u) << label;
    EXPECT_EQ(word::packageOf(again).bytes("customXml/quillfold-test.xml"), "<x>keep me</x>");
  }

  // Back to Word 97-2003 and open once more.
  word::Application app;
  word::Document& d = app.open(path("made.docx"));
  d.saveAs(path("back.doc"));
  word::Application app2;
  expectContent(app2.open(path("back.doc")), "back.doc");
}

TEST_F(RoundTrip, SaveRefusesItsOwnSource) {
  std::string src = path("source.fodt");
  std::ofstream(src) << kFodt;
  word::convertFile(src, path("self.docx"));
  word::Application app;
  word::Document& d = app.open(path("self.docx"));
  std::string before = word::packageOf(d).saveToString();
  EXPECT_THROW(d.saveAs(path("self.docx")), word::DocumentError);
  EXPECT_THROW(d.saveAs(path("./self.docx")), word::DocumentError);
  EXPECT_TRUE(fs::exists(path("self.docx")));
}

TEST_F(RoundTrip, WordDocumentsAreToldByContentWhateverTheirNameOrStreamCase) {
  std::string src = path("source.fodt");
  std::ofstream(src) << kFodt;
  word::convertFile(src, path("made.doc"));
  std::ifstream in(path("made.doc"), std::ios::binary);
  const std::string doc(std::istreambuf_iterator<char>(in), {});
  // The directory entry of the main stream, in UTF-16LE; OLE compares such names case-blind.
  auto utf16 = [](const std::string& s) {
    std::string out;
    for (char c : s)
      out += std::string(1, c) + '\0';
    return out;
  };
  const std::string stream = utf16("WordDocument");
  ASSERT_NE(doc.find(stream), std::string::npos);
  struct Case {
    const char* name;
    const char* streamName;
  };
  const Case cases[] = {
      {"lower.doc", "worddocument"},
      {"upper.doc", "WORDDOCUMENT"},
      {"legacy.docx", "WordDocument"},
      {"legacy-lower.docm", "worddocument"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = doc;
    for (size_t at = bytes.find(stream); at != std::string::npos; at = bytes.find(stream, at + 1))
      bytes.replace(at, stream.size(), utf16(c.streamName));
    std::ofstream(path(c.name), std::ios::binary) << bytes;
    EXPECT_TRUE(word::needsConversion(path(c.name)));
    word::Application app;
    word::Document& d = app.open(path(c.name));
    EXPECT_NE(d.contentRange().text().find("第一段 text"), std::string::npos);
  }
}

TEST(OpenText, EmptyTextFileIsAnEmptyDocument) {
  char tmpl[] = "/tmp/qf-empty-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string file = std::string(tmpl) + "/空.txt";
  std::ofstream(file).close();
  word::Application app;
  word::Document& d = app.open(file);
  EXPECT_EQ(d.paragraphs().count(), 1);
  EXPECT_EQ(d.contentRange().text(), "\r");
  std::error_code ec;
  fs::remove_all(tmpl, ec);
}
