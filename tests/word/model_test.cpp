// Range text, positions, minimal edits, find/replace and formatting of the document model.

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "model_helpers.h"
#include "word/internal/access.h"
#include "word/internal/story.h"
#include "word/text.h"

using namespace qftest;
using word::Document;

namespace {

std::string allText(Document& d) {
  return d.contentRange().text();
}

std::string docXml(Document& d) {
  return word::serializeXml(*word::packageOf(d).xml("word/document.xml"));
}

} // namespace

struct TextCase {
  const char* name;
  std::string body;
  std::string expected;
};

TEST(RangeText, ShowsWhatWordShows) {
  const TextCase cases[] = {
      {"runs and tab", para(run("ab") + "<w:r><w:tab/><w:t>c</w:t></w:r>"), "ab\tc\r"},
      {"line and page break",
       para("<w:r><w:t>a</w:t><w:br/><w:t>b</w:t><w:br w:type=\"page\"/></w:r>"), "a\vb\f\r"},
      {"complex field shows its result",
       para("<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE "
            "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
            run("7") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>" + run("x")),
       "7x\r"},
      {"simple field, hyperlink, insertion, deletion",
       para("<w:fldSimple w:instr=\" DATE \">" + run("d") +
            "</w:fldSimple><w:hyperlink r:id=\"h\">" + run("h") +
            "</w:hyperlink><w:ins w:id=\"1\">" + run("i") +
            "</w:ins><w:del w:id=\"2\"><w:r><w:delText>gone</w:delText></w:r></w:del>"),
       "dhi\r"},
      {"content control and picture",
       para("<w:sdt><w:sdtPr/><w:sdtContent>" + run("s") +
            "</w:sdtContent></w:sdt><w:r><w:drawing/></w:r>"),
       "s\x01\r"},
      {"table cells end in cell marks",
       para(run("before")) + "<w:tbl><w:tr><w:tc>" + para(run("a")) + "</w:tc><w:tc>" +
           para(run("b1")) + para(run("b2")) + "</w:tc></w:tr></w:tbl>" + para(run("after")),
       "before\ra\r\ab1\rb2\r\aafter\r"},
      {"nested table",
       "<w:tbl><w:tr><w:tc><w:tbl><w:tr><w:tc>" + para(run("in")) + "</w:tc></w:tr></w:tbl>" +
           para(run("out")) + "</w:tc></w:tr></w:tbl>" + para(""),
       "in\r\aout\r\a\r"},
  };
  for (const auto& c : cases) {
    auto d = makeDoc(c.body);
    EXPECT_EQ(allText(*d), c.expected) << c.name;
    // Paragraph ranges tile the story.
    int64_t pos = 0;
    for (int i = 1; i <= d->paragraphs().count(); ++i) {
      auto r = d->paragraphs().item(i).range();
      EXPECT_EQ(r.start(), pos) << c.name << " paragraph " << i;
      pos = r.end();
    }
    EXPECT_EQ(pos, static_cast<int64_t>(word::toU32(c.expected).size())) << c.name;
  }
}

TEST(RangeText, TablesCounted) {
  auto d = makeDoc(para(run("x")) + "<w:tbl><w:tr><w:tc>" + para(run("a")) +
                   "</w:tc></w:tr></w:tbl>" + para(run("y")));
  EXPECT_EQ(d->tablesCount(), 1);
  EXPECT_EQ(d->paragraphs().item(1).range().tablesCount(), 0);
  EXPECT_EQ(d->paragraphs().item(2).range().tablesCount(), 1);
  EXPECT_TRUE(d->paragraphs().item(2).inTable());
  EXPECT_THROW(d->paragraphs().item(4), word::DocumentError);
  EXPECT_THROW(d->paragraphs().item(0), word::DocumentError);
}

TEST(MinimalEdit, KeepsPicturesFieldsAndFormatting) {
  auto d = makeDoc(para(run("Hello ", "<w:b/>") + "<w:r><w:drawing/></w:r>" +
                        "<w:bookmarkStart w:id=\"0\" w:name=\"bm\"/>" + run("world", "<w:i/>") +
                        "<w:bookmarkEnd w:id=\"0\"/>"));
  auto r = d->paragraphs().item(1).range();
  r.setRange(r.start(), r.end() - 1);
  r.setText("Hello \x01World!");
  EXPECT_EQ(allText(*d), "Hello \x01World!\r");
  std::string xml = docXml(*d);
  EXPECT_NE(xml.find("<w:drawing"), std::string::npos);
  EXPECT_NE(xml.find("bookmarkStart"), std::string::npos);
  // Only the differing characters changed; the new text took over the italic of "world".
  EXPECT_NE(xml.find("<w:i/></w:rPr><w:t xml:space=\"preserve\">World!</w:t>"), std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<w:b/></w:rPr><w:t xml:space=\"preserve\">Hello </w:t>"), std::string::npos);
}

TEST(MinimalEdit, NewTextTakesFormattingOfPrecedingCharacter) {
  auto d = makeDoc(para(run("ab", "<w:b/>") + run("cd", "<w:i/>")));
  auto r = d->range(2, 2);
  r.insertAfter("X");
  EXPECT_EQ(allText(*d), "abXcd\r");
  EXPECT_EQ(d->range(2, 3).font().bold(), -1);
  // At the paragraph start the following character lends its formatting.
  d->range(0, 0).insertBefore("Y");
  EXPECT_EQ(d->range(0, 1).font().bold(), -1);
}

TEST(MinimalEdit, ParagraphMarksSplitAndMerge) {
  auto d = makeDoc(para(run("onetwo"), "<w:jc w:val=\"center\"/>") +
                   para(run("last"), "<w:sectPr/>") + "<w:sectPr/>");
  d->range(3, 3).insertAfter("\r\n");
  ASSERT_EQ(d->paragraphs().count(), 3);
  EXPECT_EQ(d->paragraphs().item(1).range().text(), "one\r");
  EXPECT_EQ(d->paragraphs().item(2).range().text(), "two\r");
  EXPECT_EQ(d->paragraphs().item(1).range().paragraphFormat().alignment(),
            word::wdAlignParagraphCenter);
  EXPECT_EQ(d->paragraphs().item(2).range().paragraphFormat().alignment(),
            word::wdAlignParagraphCenter);
  // Deleting a whole paragraph (mark included) removes it.
  d->paragraphs().item(1).range().deleteText();
  EXPECT_EQ(allText(*d), "two\rlast\r");
  // Deleting the mark of a paragraph that ends a section keeps the section break.
  auto second = d->paragraphs().item(2).range();
  d->range(second.start() - 1, second.start()).deleteText();
  EXPECT_EQ(allText(*d), "twolast\r");
  std::string xml = docXml(*d);
  EXPECT_EQ(std::count(xml.begin(), xml.end(), 'x') >= 0, true);
  EXPECT_NE(xml.find("<w:pPr><w:sectPr/></w:pPr>"), std::string::npos) << xml;
  // The story's last mark cannot go.
  d->contentRange().deleteText();
  EXPECT_EQ(allText(*d), "\r");
}

TEST(MinimalEdit, CellMarksStay) {
  auto d = makeDoc("<w:tbl><w:tr><w:tc>" + para(run("a")) + "</w:tc><w:tc>" + para(run("b")) +
                   "</w:tc></w:tr></w:tbl>" + para(run("z")));
  d->contentRange().deleteText();
  EXPECT_EQ(allText(*d), "\r\a\r\a\r");
}

struct FindCase {
  const char* name;
  std::string body;
  std::string find, repl;
  bool matchByte;
  std::string expected;
  int count;
};

TEST(FindReplace, ReplaceAll) {
  const FindCase cases[] = {
      {"match across three runs", para(run("xa") + run("b") + run("cx")), "abc", "Z", true, "xZx\r",
       1},
      {"aab in aaab", para(run("aaab")), "aab", "-", true, "a-\r", 1},
      {"replacement contains pattern", para(run("a a")), "a", "aa", true, "aa aa\r", 2},
      {"line break to paragraph", para("<w:r><w:t>l1</w:t><w:br/><w:t>l2</w:t></w:r>"), "^l", "^p",
       true, "l1\rl2\r", 1},
      {"MatchByte keeps full-width", para(run("a,b，c")), ",", "，", true, "a，b，c\r", 1},
      {"without MatchByte widths match", para(run("a,b，c")), ",", ";", false, "a;b;c\r", 2},
      {"case-blind", para(run("Ab ab")), "ab", "x", true, "x x\r", 2},
      {"delete spaces", para(run(" a b ")) + para(run("\u3000\u3000c")), " ", "", true,
       "ab\r\u3000\u3000c\r", 3},
      {"paragraph marks", para(run("a")) + para("") + para(run("b")), "^p^p", "^p", true, "a\rb\r",
       1},
      {"found text", para(run("ab")), "b", "[^&]", true, "a[b]\r", 1},
      {"tab", para("<w:r><w:t>a</w:t><w:tab/><w:t>b</w:t></w:r>"), "^t", "", true, "ab\r", 1},
  };
  for (const auto& c : cases) {
    auto d = makeDoc(c.body);
    auto& sel = d->selection();
    sel.wholeStory();
    auto& f = sel.find();
    f.text = c.find;
    f.replacementText = c.repl;
    f.wrap = word::wdFindContinue;
    f.matchByte = c.matchByte;
    EXPECT_EQ(f.execute(word::wdReplaceAll), c.count) << c.name;
    EXPECT_EQ(allText(*d), c.expected) << c.name;
    // The result survives a save and reopen.
    auto again = roundTrip(*d);
    EXPECT_EQ(allText(*again), c.expected) << c.name;
  }
}

TEST(FindReplace, SplitParagraphKeepsFormatAndRangeFindStaysInRange) {
  auto d =
      makeDoc(para("<w:r><w:t>a b</w:t><w:br/><w:t>c d</w:t></w:r>", "<w:ind w:left=\"100\"/>") +
              para(run("e f")));
  auto r = d->paragraphs().item(1).range();
  auto f = r.find();
  f.text = "^l";
  f.replacementText = "^p";
  f.execute(word::wdReplaceAll);
  ASSERT_EQ(d->paragraphs().count(), 3);
  for (int i = 1; i <= 2; ++i) {
    auto pPrs = word::pPrsOf(d->paragraphs().item(i).range().paragraphFormat());
    EXPECT_STREQ(pPrs[0].child("w:ind").attribute("w:left").value(), "100");
  }
  auto r2 = d->paragraphs().item(1).range();
  auto f2 = r2.find();
  f2.text = " ";
  f2.matchByte = true;
  f2.execute(word::wdReplaceAll);
  EXPECT_EQ(allText(*d), "ab\rc d\re f\r");
}

TEST(FindReplace, ManyLineBreaksStayLinear) {
  std::string body;
  for (int i = 0; i < 2000; ++i)
    body += para("<w:r><w:t>x</w:t><w:br/><w:t>y</w:t></w:r>");
  auto d = makeDoc(body);
  d->selection().wholeStory();
  auto& f = d->selection().find();
  f.text = "^l";
  f.replacementText = "^p";
  f.wrap = word::wdFindContinue;
  EXPECT_EQ(f.execute(word::wdReplaceAll), 2000);
  EXPECT_EQ(d->paragraphs().count(), 4000);
  EXPECT_EQ(d->paragraphs().item(4000).range().text(), "y\r");
  EXPECT_EQ(d->paragraphs().item(3999).range().start(), 3998 * 2);
}

TEST(Formatting, FontOnPartOfARunSplitsIt) {
  auto d = makeDoc(para(run("abcdef", "<w:sz w:val=\"24\"/>")),
                   "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"21\"/></w:rPr>"
                   "</w:rPrDefault></w:docDefaults>");
  auto r = d->range(2, 4);
  r.font().setSize(16);
  r.font().setBold(true);
  r.font().setName("黑体");
  EXPECT_EQ(d->range(0, 2).font().size(), 12.0f);
  EXPECT_EQ(d->range(2, 4).font().size(), 16.0f);
  EXPECT_EQ(d->range(4, 6).font().size(), 12.0f);
  EXPECT_EQ(d->range(0, 6).font().size(), word::kUndefined);
  EXPECT_EQ(d->range(2, 4).font().bold(), -1);
  EXPECT_EQ(d->range(0, 2).font().bold(), 0);
  EXPECT_EQ(d->range(2, 4).font().name(), "黑体");
  EXPECT_EQ(allText(*d), "abcdef\r");
  std::string xml = docXml(*d);
  EXPECT_NE(xml.find("w:eastAsia=\"黑体\""), std::string::npos);
  // Properties are written in schema order: rFonts, b, bCs, sz, szCs.
  EXPECT_NE(xml.find("<w:rPr><w:rFonts w:ascii=\"黑体\" w:hAnsi=\"黑体\" w:eastAsia=\"黑体\" "
                     "w:cs=\"黑体\"/><w:b/><w:bCs/><w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/>"),
            std::string::npos)
      << xml;
}

TEST(Formatting, EffectiveValuesFromStyles) {
  std::string styles =
      "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Calibri\"/><w:sz w:val=\"21\"/>"
      "</w:rPr></w:rPrDefault></w:docDefaults>"
      "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
      "w:val=\"Normal\"/>"
      "</w:style>"
      "<w:style w:type=\"paragraph\" w:styleId=\"H1\"><w:basedOn w:val=\"Normal\"/><w:pPr><w:jc "
      "w:val=\"center\"/></w:pPr><w:rPr><w:b/><w:sz w:val=\"44\"/></w:rPr></w:style>"
      "<w:style w:type=\"character\" w:styleId=\"Em\"><w:rPr><w:sz "
      "w:val=\"30\"/></w:rPr></w:style>";
  auto d = makeDoc(para(run("T"), "<w:pStyle w:val=\"H1\"/>") + para(run("b")) +
                       para(run("c", "<w:rStyle w:val=\"Em\"/>")),
                   styles);
  auto p1 = d->paragraphs().item(1).range();
  EXPECT_EQ(p1.font().size(), 22.0f);
  EXPECT_EQ(p1.font().bold(), -1);
  EXPECT_EQ(p1.paragraphFormat().alignment(), word::wdAlignParagraphCenter);
  EXPECT_EQ(d->paragraphs().item(2).range().font().size(), 10.5f);
  EXPECT_EQ(d->paragraphs().item(2).range().font().name(), "Calibri");
  EXPECT_EQ(d->paragraphs().item(3).range().font().size(), 15.0f);
  // Clearing formatting drops the heading style and direct formatting, not the section.
  d->selection().wholeStory();
  d->selection().clearFormatting();
  EXPECT_EQ(d->paragraphs().item(1).range().font().size(), 10.5f);
  EXPECT_EQ(d->paragraphs().item(1).range().paragraphFormat().alignment(),
            word::wdAlignParagraphLeft);
  EXPECT_EQ(d->paragraphs().item(3).range().font().size(), 10.5f);
}

TEST(Formatting, ClearFormattingKeepsSectionBreaksAndText) {
  auto d = makeDoc(para(run("a", "<w:b/>"),
                        "<w:jc w:val=\"right\"/><w:sectPr><w:pgSz w:w=\"100\"/></w:sectPr>") +
                   para(run("b")) + "<w:sectPr/>");
  d->selection().wholeStory();
  d->selection().clearFormatting();
  std::string xml = docXml(*d);
  EXPECT_NE(xml.find("<w:pPr><w:sectPr><w:pgSz w:w=\"100\"/></w:sectPr></w:pPr>"),
            std::string::npos)
      << xml;
  EXPECT_EQ(xml.find("w:jc"), std::string::npos);
  EXPECT_EQ(xml.find("<w:b/>"), std::string::npos);
  EXPECT_EQ(allText(*d), "a\rb\r");
}

TEST(Selection, KeysAndTyping) {
  auto d = makeDoc(para(run("one")) + para(run("two")));
  auto& s = d->selection();
  s.endKey(word::wdStory);
  EXPECT_EQ(s.start(), 7);
  s.typeText("!");
  EXPECT_EQ(allText(*d), "one\rtwo!\r");
  s.homeKey(word::wdStory);
  s.endKey(word::wdLine, word::wdExtend);
  EXPECT_EQ(s.range().text(), "one");
  s.deleteText();
  EXPECT_EQ(allText(*d), "\rtwo!\r");
}

TEST(Corpus, OpenReadEditSaveReopen) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(QF_CORPUS_DIR) / "word";
  if (!fs::exists(dir))
    FAIL() << "the corpus is missing from " << dir;
  int docs = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".docx")
      continue;
    ++docs;
    std::string name = e.path().filename().string();
    auto d = Document::openPackage(e.path().string());
    std::string before = allText(*d);
    int count = d->paragraphs().count();
    for (auto& hf : d->headerFooters())
      (void)word::Paragraphs(hf.story).count();
    // Append a marker to every paragraph, then check it everywhere after a reopen.
    for (int i = count; i >= 1; --i) {
      auto r = d->paragraphs().item(i).range();
      d->range(r.end() - 1 -
                   (r.text().size() >= 2 && r.text().substr(r.text().size() - 2) == "\r\a"),
               r.end() - 1)
          .insertBefore("");
      word::Range at(r.story(), r.start(), r.start());
      at.insertAfter("§");
    }
    auto again = roundTrip(*d);
    ASSERT_EQ(again->paragraphs().count(), count) << name;
    for (int i = 1; i <= count; ++i)
      EXPECT_EQ(again->paragraphs().item(i).range().text().rfind("§", 0), 0u) << name << " " << i;
    std::string after = allText(*again);
    std::string stripped;
    for (size_t k = 0; k < after.size();)
      if (after.compare(k, 2, "§") == 0)
        k += 2;
      else
        stripped += after[k++];
    EXPECT_EQ(stripped, before) << name;
  }
  EXPECT_GT(docs, 10);
}

TEST(MinimalEdit, DeletingAWholeFieldRemovesItsCode) {
  const std::string field =
      "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
      run("7") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
  const std::string simple = "<w:fldSimple w:instr=\" NUMPAGES \">" + run("9") + "</w:fldSimple>";
  struct Case {
    const char* name;
    int64_t from, to;
    std::string text;
    bool pageKept, numPagesKept;
  };
  // Paragraph text: "A7B9C"
  const Case cases[] = {
      {"everything", 0, 5, "\r", false, false},
      {"exactly the PAGE result", 1, 2, "AB9C\r", false, true},
      {"part of the text only", 2, 3, "A79C\r", true, true},
      {"the NUMPAGES result and around", 2, 5, "A7\r", true, false},
  };
  for (const auto& c : cases) {
    auto d = makeDoc(para(run("A") + field + run("B") + simple + run("C")));
    d->range(c.from, c.to).deleteText();
    EXPECT_EQ(allText(*d), c.text) << c.name;
    std::string xml = docXml(*d);
    EXPECT_EQ(xml.find("PAGE ") != std::string::npos, c.pageKept) << c.name << xml;
    EXPECT_EQ(xml.find("NUMPAGES") != std::string::npos, c.numPagesKept) << c.name << xml;
    EXPECT_EQ(xml.find("fldChar") != std::string::npos, c.pageKept) << c.name << xml;
  }
}

TEST(MinimalEdit, DeletingCharactersOnlyKeepsEveryField) {
  const std::string field =
      "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
      run("7") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
  const std::string simple = "<w:fldSimple w:instr=\" NUMPAGES \">" + run("9") + "</w:fldSimple>";
  // Paragraph text: "A7B9C"; the same spans that take fields with them under deleteText.
  const std::tuple<int64_t, int64_t, const char*> cases[] = {
      {0, 5, "\r"}, {1, 2, "AB9C\r"}, {2, 5, "A7\r"}};
  for (const auto& [from, to, text] : cases) {
    auto d = makeDoc(para(run("A") + field + run("B") + simple + run("C")));
    word::Range r = d->range(from, to);
    EXPECT_EQ(r.deleteCharacters(), to - from);
    EXPECT_EQ(r.start(), from);
    EXPECT_EQ(r.end(), from);
    EXPECT_EQ(allText(*d), text) << from << "-" << to;
    std::string xml = docXml(*d);
    EXPECT_NE(xml.find("PAGE "), std::string::npos) << xml;
    EXPECT_NE(xml.find("NUMPAGES"), std::string::npos) << xml;
    EXPECT_NE(xml.find("fldChar"), std::string::npos) << xml;
  }
  auto d = makeDoc(para(run("A")));
  EXPECT_EQ(d->range(1, 1).deleteCharacters(), 0);
}
