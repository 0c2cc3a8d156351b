// The text of any span of a story is the same piece of the whole story's text: paragraph
// contents with their marks ("\r", "\r\a" at the end of a table cell), wherever the span
// begins and ends (inside a content, on a mark, between the two characters of a cell's mark).

#include <gtest/gtest.h>

#include <string>

#include "model_helpers.h"
#include "word/internal/story.h"

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

} // namespace
