// Font.setBold(false) over one range that mixes paragraph and character styles: "not bold" is
// written on exactly the runs and marks whose styles (or the document defaults) mention bold.
// The styles are looked up once per pair of styles in an edit, so runs of different styles
// side by side, and paragraphs of alternating styles, must each still get their own answer.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/word/model_helpers.h"
#include "word/document.h"
#include "word/internal/story.h"

namespace {

using qftest::para;
using qftest::run;

const std::string kStyles =
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
    "</w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Strong\"><w:rPr><w:b/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"StrongChild\"><w:basedOn w:val=\"Strong\"/>"
    "</w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Quiet\"><w:basedOn w:val=\"Normal\"/></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Emph\"><w:rPr><w:bCs/></w:rPr></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"EmphChild\"><w:basedOn w:val=\"Emph\"/>"
    "</w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Plain\"><w:rPr><w:i/></w:rPr></w:style>";

std::string styled(const char* text, const char* rStyle) {
  return run(text, rStyle[0] ? std::string("<w:rStyle w:val=\"") + rStyle + "\"/>" : "");
}

std::string pStyle(const char* id) {
  return id[0] ? std::string("<w:pStyle w:val=\"") + id + "\"/>" : "";
}

// A paragraph of style `ps` with runs of the character styles `rs`; `bold` says for each run,
// then the mark, whether "not bold" must be written.
struct Para {
  const char* ps;
  std::vector<const char*> rs;
  std::vector<bool> bold; // one per run, then the mark
};

void check(const std::string& defaults, const std::vector<Para>& paras) {
  std::string body;
  for (const Para& p : paras) {
    std::string runs;
    for (const char* rs : p.rs)
      runs += styled("字", rs);
    body += para(runs, pStyle(p.ps));
  }
  auto d = qftest::makeDoc(body, defaults + kStyles);
  d->contentRange().font().setBold(false);
  word::Story& st = d->content();
  for (size_t i = 0; i < paras.size(); ++i) {
    pugi::xml_node p = st.at(static_cast<int>(i))->p;
    std::vector<pugi::xml_node> rPrs;
    for (pugi::xml_node r = p.child("w:r"); r; r = r.next_sibling("w:r"))
      rPrs.push_back(r.child("w:rPr"));
    rPrs.push_back(p.child("w:pPr").child("w:rPr"));
    ASSERT_EQ(rPrs.size(), paras[i].bold.size()) << "paragraph " << i;
    for (size_t k = 0; k < rPrs.size(); ++k) {
      bool written = std::string(rPrs[k].child("w:b").attribute("w:val").value()) == "0";
      EXPECT_EQ(written, paras[i].bold[k]) << "paragraph " << i << ", piece " << k;
    }
  }
  EXPECT_EQ(d->contentRange().font().bold(), 0);
}

TEST(BoldStyles, NotBoldWhereTheStylesOfEachRunSayBold) {
  check("", {
                {"", {"", "Emph", "Plain", "EmphChild"}, {false, true, false, true, false}},
                {"Strong", {"", "Plain", "Emph"}, {true, true, true, true}},
                {"Quiet", {"Plain", ""}, {false, false, false}},
                {"StrongChild", {""}, {true, true}},
                {"", {"Plain"}, {false, false}},
                {"Strong", {"Plain"}, {true, true}},
                {"Missing", {"Missing", "Emph"}, {false, true, false}},
            });
}

TEST(BoldStyles, BoldDocumentDefaultsReachEveryRunAndMark) {
  check("<w:docDefaults><w:rPrDefault><w:rPr><w:bCs/></w:rPr></w:rPrDefault></w:docDefaults>",
        {
            {"", {"", "Plain"}, {true, true, true}},
            {"Quiet", {"Emph"}, {true, true}},
        });
}

} // namespace
