// The sections of the main text are found by one walk and kept: every edit that adds, moves
// or removes a section mark must make the next lookup see it. Each case asks for the sections
// (so they are kept), edits, then compares the sections, the section of every paragraph and
// each section's range with what a fresh walk over the XML finds.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "model_helpers.h"
#include "word/internal/sections.h"
#include "word/internal/story.h"
#include "word/sections.h"

using qftest::para;
using qftest::run;

namespace {

const char* kMark = "<w:sectPr><w:type w:val=\"continuous\"/></w:sectPr>";

// Paragraphs "p1" … "pN"; those in `marked` end a section.
std::string body(int n, const std::vector<int>& marked) {
  std::string b;
  for (int i = 1; i <= n; ++i) {
    bool mark = std::find(marked.begin(), marked.end(), i) != marked.end();
    b += para(run("p" + std::to_string(i)), mark ? kMark : "");
  }
  return b + qftest::kTable + "<w:sectPr/>";
}

// What a walk over the XML finds: the section marks of paragraphs outside tables, then the
// body's own.
struct Walk {
  std::vector<pugi::xml_node> sections;
  std::vector<int> sectionOfParagraph; // by story index
};

Walk walk(word::Document& doc) {
  word::Story& st = doc.content();
  Walk w;
  int section = 1;
  for (int i = 0; i < st.count(); ++i) {
    word::ParaRec* rec = st.at(i);
    w.sectionOfParagraph.push_back(section);
    if (rec->inTable)
      continue;
    if (pugi::xml_node s = rec->p.child("w:pPr").child("w:sectPr")) {
      w.sections.push_back(s);
      ++section;
    }
  }
  w.sections.push_back(st.root().last_child());
  return w;
}

void expectSameAsWalk(word::Document& doc, const std::string& what) {
  SCOPED_TRACE(what);
  std::vector<pugi::xml_node> sections = word::documentSections(doc);
  Walk w = walk(doc);
  word::Story& st = doc.content();
  EXPECT_EQ(sections, w.sections);
  EXPECT_EQ(doc.sections().count(), static_cast<int>(w.sections.size()));
  for (int i = 0; i < st.count(); ++i)
    EXPECT_EQ(word::sectionAt(doc, st.startOf(st.at(i))), w.sectionOfParagraph[i])
        << "paragraph " << i;
  // Each section's range ends with the mark of its last paragraph.
  int64_t start = 0;
  for (int s = 1; s <= doc.sections().count(); ++s) {
    word::Range r = doc.sections().item(s).range();
    EXPECT_EQ(r.start(), start) << "section " << s;
    start = r.end();
  }
  EXPECT_EQ(start, st.length());
}

struct Edit {
  const char* name;
  std::vector<int> marked;
  std::function<void(word::Document&)> edit;
};

class SectionCache : public ::testing::TestWithParam<Edit> {};

TEST_P(SectionCache, SeesEveryChangeOfTheSectionMarks) {
  const Edit& e = GetParam();
  auto doc = qftest::makeDoc(body(6, e.marked));
  expectSameAsWalk(*doc, "before");
  e.edit(*doc);
  expectSameAsWalk(*doc, "after");
}

// Start of paragraph `k` (1-based).
int64_t startOfPara(word::Document& doc, int k) {
  return doc.content().startOf(doc.content().at(k - 1));
}

const Edit kEdits[] = {
    {"BreakInsideAParagraph",
     {},
     [](word::Document& d) {
       d.range(startOfPara(d, 3) + 1, startOfPara(d, 3) + 1)
           .insertBreak(word::wdSectionBreakContinuous);
     }},
    {"BreakAtAParagraphStart",
     {2},
     [](word::Document& d) {
       int64_t p = startOfPara(d, 5);
       d.range(p, p).insertBreak(word::wdSectionBreakNextPage);
     }},
    {"BreakWhereOneEndsAlready",
     {2},
     [](word::Document& d) {
       int64_t p = startOfPara(d, 3);
       d.range(p, p).insertBreak(word::wdSectionBreakNextPage);
     }},
    {"TwoBreaksInARow",
     {},
     [](word::Document& d) {
       for (int k : {2, 4}) {
         int64_t p = startOfPara(d, k) + 1;
         d.range(p, p).insertBreak(word::wdSectionBreakContinuous);
       }
     }},
    {"ParagraphSplitBeforeAMark",
     {3},
     [](word::Document& d) {
       int64_t p = startOfPara(d, 3) + 1;
       d.range(p, p).setText("\r");
     }},
    {"ParagraphsAddedBeforeAMark",
     {4},
     [](word::Document& d) {
       int64_t p = startOfPara(d, 1);
       d.range(p, p).setText("a\rb\rc\r");
     }},
    {"ParagraphsDeletedBeforeAMark",
     {5},
     [](word::Document& d) { d.range(startOfPara(d, 1), startOfPara(d, 3)).setText(""); }},
    {"DeletionOverAMark",
     {3},
     [](word::Document& d) { d.range(startOfPara(d, 2), startOfPara(d, 5)).setText(""); }},
    {"MarkTakenOutOfTheXml",
     {2, 4},
     [](word::Document& d) {
       pugi::xml_node pPr = d.content().at(1)->p.child("w:pPr");
       pPr.remove_child("w:sectPr");
     }},
    {"ClearFormatting",
     {2},
     [](word::Document& d) {
       word::Selection sel(&d);
       sel.wholeStory();
       sel.clearFormatting();
     }},
    {"BodySectionRemovedAndMadeAgain",
     {3},
     [](word::Document& d) { d.content().root().remove_child(d.content().root().last_child()); }},
};

INSTANTIATE_TEST_SUITE_P(Edits, SectionCache, ::testing::ValuesIn(kEdits),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
