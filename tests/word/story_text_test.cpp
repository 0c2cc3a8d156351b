// The text of any span of a story is the same piece of the whole story's text: paragraph
// contents with their marks ("\r", "\r\a" at the end of a table cell), wherever the span
// begins and ends (inside a content, on a mark, between the two characters of a cell's mark).

#include <gtest/gtest.h>

#include <string>

#include "model_helpers.h"
#include "word/internal/story.h"
#include "word/text.h"

using qftest::para;
using qftest::run;

namespace {

struct Body {
  const char* name;
  std::string xml;
};

class StoryText : public ::testing::TestWithParam<Body> {};

TEST_P(StoryText, EverySpanIsAPieceOfTheWhole) {
  auto doc = qftest::makeDoc(GetParam().xml);
  word::Story& st = doc->content();
  std::u32string whole;
  for (int i = 0; i < st.count(); ++i) {
    word::ParaRec* rec = st.at(i);
    whole += st.content(rec);
    whole += rec->cellEnd ? U"\r\a" : U"\r";
  }
  const int64_t len = st.length();
  ASSERT_EQ(static_cast<int64_t>(whole.size()), len);
  for (int64_t a = 0; a <= len; ++a)
    for (int64_t b = a; b <= len + 2; ++b)
      ASSERT_EQ(st.text(a, b), whole.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)))
          << "[" << a << ", " << b << ")";
}

const Body kBodies[] = {
    {"Plain", para(run("一二三")) + para("") + para(run("ab") + run("c"))},
    {"Table", para(run("前")) + "<w:tbl><w:tr><w:tc>" + para(run("格一")) + para("") +
                  "</w:tc><w:tc>" + para("") + "</w:tc></w:tr></w:tbl>" + para(run("后"))},
    {"OnlyAnEmptyParagraph", para("")},
};

INSTANTIATE_TEST_SUITE_P(Bodies, StoryText, ::testing::ValuesIn(kBodies),
                         [](const auto& info) { return std::string(info.param.name); });

// After an insertion the paragraph's text and pieces, as the story keeps them, are what a
// fresh walk over the paragraph finds.
struct Insertion {
  const char* name;
  std::string paragraph;
  int64_t at;
  std::string text;
};

class StoryInsertion : public ::testing::TestWithParam<Insertion> {};

TEST_P(StoryInsertion, KeepsTheTextAWalkFinds) {
  const Insertion& c = GetParam();
  auto doc = qftest::makeDoc(c.paragraph + para(run("下一段")));
  word::Story& st = doc->content();
  std::u32string before = st.text(0, st.length());
  doc->range(c.at, c.at).setText(c.text);
  word::ParaRec* rec = st.at(0);
  const std::u32string kept = st.content(rec);
  const std::vector<word::Seg> keptSegs = rec->segs;
  const int64_t nextStart = st.startOf(st.at(1));
  st.invalidateAll();
  EXPECT_EQ(st.content(st.at(0)), kept);
  ASSERT_EQ(st.at(0)->segs.size(), keptSegs.size());
  for (size_t k = 0; k < keptSegs.size(); ++k) {
    EXPECT_EQ(st.at(0)->segs[k].node, keptSegs[k].node) << k;
    EXPECT_EQ(st.at(0)->segs[k].off, keptSegs[k].off) << k;
    EXPECT_EQ(st.at(0)->segs[k].len, keptSegs[k].len) << k;
  }
  EXPECT_EQ(st.startOf(st.at(1)), nextStart);
  EXPECT_EQ(st.text(0, st.length()).size(), before.size() + word::toU32(c.text).size());
}

const std::string kTab = "<w:r><w:tab/></w:r>";
const std::string kPage = "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>"
                          " PAGE </w:instrText></w:r><w:r><w:fldChar "
                          "w:fldCharType=\"separate\"/></w:r>" +
                          run("1") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";

const Insertion kInsertions[] = {
    {"AtTheStart", para(run("一二") + run("三")), 0, "　　"},
    {"InsideARun", para(run("一二") + run("三")), 1, "甲乙"},
    {"AtTheEndOfARun", para(run("一二") + run("三")), 2, "丙"},
    {"AtTheEndOfTheParagraph", para(run("一二") + run("三")), 3, "丁"},
    {"BeforeATab", para(run("一") + kTab + run("二")), 1, "戊"},
    {"AfterATab", para(run("一") + kTab + run("二")), 2, "己"},
    {"BeforeAField", para(run("第") + kPage + run("页")), 1, "庚"},
    {"AfterAField", para(run("第") + kPage + run("页")), 2, "辛"},
    {"WithABreak", para(run("一二")), 1, "a\vb"},
    {"IntoAnEmptyParagraph", para(""), 0, "壬"},
};

INSTANTIATE_TEST_SUITE_P(Insertions, StoryInsertion, ::testing::ValuesIn(kInsertions),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
