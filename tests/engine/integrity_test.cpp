// The integrity check: the comparison that names each unintended difference between two
// censuses (the census itself is tested in tests/word/census_test.cpp), the engine's warnings,
// every corpus document run in full and page-only without an unexpected difference, and legacy
// outputs read back and compared.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "base/messages.h"
#include "batch_helpers.h"
#include "engine/integrity.h"
#include "engine_access.h"
#include "word/convert.h"
#include "word/document.h"
#include "word/internal/access.h"
#include "word/package.h"
#include "word/text.h"

using batchtest::Folder;
using batchtest::Recorder;
using qftest::fillIn;
using qftest::kTable;
using qftest::para;
using qftest::run;

namespace fs = std::filesystem;

namespace {

// ---- the comparison ----------------------------------------------------------------------------

engine::Census sample() {
  engine::Census c;
  c.tables = 3;
  c.sections = 2;
  c.text = U"关于开展检查的通知";
  c.headers = c.defaultHeaders = {"甲"};
  c.footers = c.defaultFooters = {"页码"};
  c.firstSectionHeaders = {"default:甲"};
  return c;
}

struct CompareCase {
  const char* label;
  void (*change)(engine::Census&);
  engine::IntendedChanges intended;
  std::vector<std::string> expected;
};

class CensusComparison : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CensusComparison, NamesEachUnintendedDifference) {
  engine::Census after = sample();
  GetParam().change(after);
  EXPECT_EQ(engine::compareCensus(sample(), after, GetParam().intended), GetParam().expected);
}

using H = engine::IntendedChanges::Headers;
INSTANTIATE_TEST_SUITE_P(
    Cases, CensusComparison,
    ::testing::Values(
        CompareCase{"Unchanged", [](engine::Census&) {}, {}, {}},
        CompareCase{
            "TablesJoined", [](engine::Census& c) { c.tables = 1; }, {}, {"表格由 3 个变为 1 个"}},
        CompareCase{"TextChanged",
                    [](engine::Census& c) { c.text = U"关于开展检查通知"; },
                    {},
                    {"正文的文字自第 7 个字起不同：原为“的通知”，现为“通知”"}},
        CompareCase{"TextCut",
                    [](engine::Census& c) { c.text = U"关于"; },
                    {},
                    {"正文的文字自第 3 个字起不同：原为“开展检查的通知”，现为“（无）”"}},
        CompareCase{"SectionAddedByTheTitle",
                    [](engine::Census& c) { c.sections = 3; },
                    {H::Kept, false, false, 1},
                    {}},
        CompareCase{"SectionLostDespiteTheTitle",
                    [](engine::Census& c) { c.sections = 1; },
                    {H::Kept, false, false, 1},
                    {"节由 2 个变为 1 个"}},
        CompareCase{"HeaderRewrittenBySettings",
                    [](engine::Census& c) {
                      c.headers = c.defaultHeaders = {"乙"};
                      c.firstSectionHeaders = {"default:乙"};
                    },
                    {H::Rewritten, false, false, 0},
                    {}},
        CompareCase{"HeaderKeptButChanged",
                    [](engine::Census& c) {
                      c.headers = c.defaultHeaders = {"乙"};
                      c.firstSectionHeaders = {"default:乙"};
                    },
                    {H::FirstSection, false, false, 0},
                    {"页眉的内容有变化：原为甲，现为乙"}},
        CompareCase{"FooterLostWhenKept",
                    [](engine::Census& c) { c.footers = c.defaultFooters = {}; },
                    {},
                    {"非空页脚由 1 个变为 0 个"}},
        CompareCase{"FooterWrittenBySettings",
                    [](engine::Census& c) { c.footers = c.defaultFooters = {}; },
                    {H::Kept, true, false, 0},
                    {}}),
    [](const auto& info) { return info.param.label; });

// ---- the engine's warning ----------------------------------------------------------------------

TEST(IntegrityWarning, NamesTheLossInChineseForTheDocument) {
  Folder dir;
  engine::clsDoc eng;
  Recorder rec;
  batchtest::configure(eng, rec, dir.path(), dir / "out");
  word::Document& doc = engine::EngineAccess::adopt(
      eng, qftest::makeDoc(kTable + para(run("正文")) + kTable + para(run("结尾"))));
  const engine::Census source = word::takeCensus(doc);
  pugi::xml_node body =
      word::packageOf(doc).xml("word/document.xml")->document_element().first_child();
  body.remove_child(body.child("w:tbl"));
  engine::EngineAccess::checkIntegrity(eng, source, "YeMian");
  ASSERT_EQ(rec.withId("3").size(), 3u);
  EXPECT_EQ(rec.withId("3")[0].msg, msg::text(msg::kIntegrityWarning, "表格由 2 个变为 1 个"));
  EXPECT_EQ(rec.withId("3")[1].msg,
            msg::text(msg::kIntegrityWarning, "表格单元格由 4 个变为 2 个"));
  EXPECT_EQ(rec.withId("3")[2].msg,
            msg::text(msg::kIntegrityWarning,
                      "正文的文字自第 1 个字起不同：原为“格格正文格格结尾”，现为“正文格格结尾”"));
}

// ---- every corpus document -------------------------------------------------------------------

std::vector<fs::path> corpusDocuments() {
  std::vector<fs::path> out;
  for (const char* sub : {"word", "mine"}) {
    const fs::path dir = fs::path(QF_CORPUS_DIR) / sub;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
      const std::string ext = e.path().extension().string();
      if (e.is_regular_file() &&
          (ext == ".docx" || ext == ".doc" || ext == ".rtf" || ext == ".odt" || ext == ".txt"))
        out.push_back(e.path());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

struct CorpusRun {
  const char* name;
  const char* mode;
  std::vector<std::pair<std::string, std::string>> settings; // beside the working settings
};

std::ostream& operator<<(std::ostream& os, const CorpusRun& r) {
  return os << r.name;
}

class CorpusIntegrity : public ::testing::TestWithParam<CorpusRun> {};

TEST_P(CorpusIntegrity, NoUnexpectedDifference) {
  const std::vector<fs::path> docs = corpusDocuments();
  ASSERT_GE(docs.size(), 40u) << "the corpus is missing from " << QF_CORPUS_DIR;
  Folder dir;
  const fs::path out = dir / "out";
  engine::clsDoc eng;
  Recorder rec;
  batchtest::configure(eng, rec, dir.path(), out);
  eng.setProperty("页眉", "测试页眉");
  eng.setProperty("水印文字", "样稿");
  for (const auto& [name, value] : GetParam().settings)
    eng.setProperty(name, value);
  std::vector<std::string> names;
  for (const auto& d : docs)
    names.push_back(d.string());
  eng.setDocFiles(names);
  eng.Main(GetParam().mode);

  std::map<std::string, std::string> found; // document -> its differences and failures
  for (const auto& e : rec.events) {
    if (e.id == "3")
      found[e.doc] += e.msg + "\n";
  }
  for (const auto& e : rec.withId("E"))
    for (const auto& d : docs)
      if (e.msg.find(d.filename().string()) != std::string::npos)
        found[d.filename().string()] += e.msg + "\n";
  for (const auto& [doc, what] : found)
    if (doc.find(".") != std::string::npos)
      ADD_FAILURE() << doc << ":\n" << what;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CorpusIntegrity,
    ::testing::Values(
        CorpusRun{"full, header off, watermark", "0", {{"使用页眉", "0"}, {"水印", "2"}}},
        CorpusRun{"full, header on, columns, title, watermark",
                  "0",
                  {{"使用页眉", "1"}, {"分栏", "1"}, {"水印", "2"}}},
        CorpusRun{"full, columns without title",
                  "0",
                  {{"使用页码", "0"}, {"一段标题", "0"}, {"分栏", "1"}}},
        CorpusRun{"page only", "YeMian", {}},
        CorpusRun{"header only, header off", "YeMei", {{"使用页眉", "0"}}},
        CorpusRun{"font sizes only", "ZiHao", {}}));

} // namespace

namespace {

// ---- legacy outputs: written so that LibreOffice keeps them, read back and compared ----------

const char* kRels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// A section's properties with its own header (relationship id hN) on paper `size`.
std::string sectPr(int n, const std::string& type, const std::string& size) {
  return "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"h" + std::to_string(n) + "\"/>" +
         (type.empty() ? "" : "<w:type w:val=\"" + type + "\"/>") + "<w:pgSz " + size +
         "/><w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" "
         "w:header=\"851\" w:footer=\"992\" w:gutter=\"0\"/></w:sectPr>";
}
const std::string kA4 = "w:w=\"11906\" w:h=\"16838\"";
const std::string kA4Landscape = "w:w=\"16838\" w:h=\"11906\" w:orient=\"landscape\"";

// Adds header parts "header1" … "headerN" with the relationships sectPr() refers to.
void addHeaders(word::Package& pkg, int count) {
  std::string rels = pkg.bytes("word/_rels/document.xml.rels");
  std::string add;
  for (int i = 1; i <= count; ++i) {
    const std::string part = "header" + std::to_string(i) + ".xml";
    pkg.setBytes("word/" + part, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:hdr ") +
                                     qftest::kWNs + ">" + para(run("页眉" + std::to_string(i))) +
                                     "</w:hdr>");
    pkg.setContentTypeOverride(
        "/word/" + part,
        "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml");
    add += "<Relationship Id=\"h" + std::to_string(i) + "\" Type=\"" + kRels +
           "header\" Target=\"" + part + "\"/>";
  }
  rels.insert(rels.find("</Relationships>"), add);
  pkg.setBytes("word/_rels/document.xml.rels", rels);
}

class LegacyOutput : public ::testing::Test {
protected:
  Folder dir;
  engine::clsDoc eng;
  Recorder rec;
  void SetUp() override {
    if (word::findSoffice().empty())
      GTEST_SKIP() << word::sofficeMissingMessage();
    batchtest::configure(eng, rec, dir / "in", dir / "out");
  }
  // Makes `pkg` the engine's document under the name a.doc, runs `steps`, saves it as .doc.
  void save(std::unique_ptr<word::Package> pkg, void (*steps)(engine::clsDoc&) = nullptr) {
    engine::EngineAccess::adopt(
        eng, word::Document::fromPackage(std::move(pkg), (dir / "in" / "a.doc").string()));
    if (steps)
      steps(eng);
    engine::EngineAccess::saveOutput(eng);
  }
  // The output read back through LibreOffice.
  std::unique_ptr<word::Package> readBack() {
    std::vector<word::ConversionJob> jobs(1);
    jobs[0].input = (dir / "out" / "a.doc").string();
    jobs[0].output = (dir / "back.docx").string();
    word::convertFiles(jobs);
    EXPECT_TRUE(jobs[0].ok) << jobs[0].error;
    return word::Package::open(jobs[0].output);
  }
  std::string warnings() const {
    std::string all;
    for (const auto& e : rec.withId("3"))
      all += e.msg + "\n";
    return all;
  }
};

size_t occurrences(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++n;
  return n;
}

TEST_F(LegacyOutput, FillInFieldsWithChineseResultsComeOutOnce) {
  save(qftest::makePackage(para(run("姓名：") + fillIn("姓名", "张三")) +
                           para(run("单位：") +
                                "<w:fldSimple w:instr=\" FILLIN &quot;单位&quot; \">" +
                                run("李四公司") + "</w:fldSimple>")));
  EXPECT_EQ(warnings(), "");
  const std::string text = word::toUtf8(word::takeCensus(*readBack()).text);
  EXPECT_EQ(occurrences(text, "张三"), 1u) << text;
  EXPECT_EQ(occurrences(text, "李四公司"), 1u) << text;
}

// Sections with headers of their own behind a continuous break: kept in the .doc when the
// break starts a new page, else LibreOffice drops the header and the check says so.
struct ContinuousCase {
  const char* label;
  std::string secondPaper;
  bool setupPage;      // the page setup makes every section A4 portrait first
  const char* warning; // "" for none
};

class ContinuousSections : public LegacyOutput,
                           public ::testing::WithParamInterface<ContinuousCase> {};

TEST_P(ContinuousSections, KeepTheirHeadersOrWarn) {
  const ContinuousCase& c = GetParam();
  auto pkg = qftest::makePackage(para(run("第一节"), sectPr(1, "", kA4)) + para(run("第二节")) +
                                 sectPr(2, "continuous", c.secondPaper));
  addHeaders(*pkg, 2);
  save(std::move(pkg), c.setupPage ? engine::EngineAccess::setupPage : nullptr);
  if (*c.warning) {
    ASSERT_EQ(rec.withId("3").size(), 1u) << warnings();
    EXPECT_NE(rec.withId("3")[0].msg.find(c.warning), std::string::npos) << warnings();
    EXPECT_NE(rec.withId("3")[0].msg.find(".doc"), std::string::npos) << warnings();
  } else {
    EXPECT_EQ(warnings(), "");
    EXPECT_EQ(word::takeCensus(*readBack()).headers.size(), 2u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContinuousSections,
    ::testing::Values(ContinuousCase{"OtherPaperMadeEqual", kA4Landscape, true, ""},
                      ContinuousCase{"SamePaper", kA4, false, "非空页眉由 2 个变为 1 个"}),
    [](const auto& info) { return info.param.label; });

} // namespace
