// New VML shapes are numbered one past the highest o:spid of the whole document. The highest
// number of a story is kept between calls; every edit that adds or removes a shape must make
// the next number the one a fresh walk over the document gives.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "model_helpers.h"
#include "word/font.h"
#include "word/internal/story.h"
#include "word/sections.h"
#include "word/shapes.h"
#include "word/view.h"

namespace {

// The body: a VML rectangle numbered 3000 and text, then a second paragraph.
const std::string kBody =
    "<w:p><w:r><w:pict xmlns:v=\"urn:schemas-microsoft-com:vml\" "
    "xmlns:o=\"urn:schemas-microsoft-com:office:office\"><v:rect o:spid=\"_x0000_s3000\" "
    "style=\"position:absolute;width:10pt;height:10pt\"/></w:pict></w:r>"
    "<w:r><w:t>body</w:t></w:r></w:p><w:p><w:r><w:t>two</w:t></w:r></w:p>";

// The number of the shape named `name` in `story` (-1 when there is none).
long spidOf(word::Story& story, const std::string& name) {
  pugi::xml_node s = story.root().find_node(
      [&](pugi::xml_node n) { return name == n.attribute("id").value() && n.attribute("o:spid"); });
  std::string v = s.attribute("o:spid").value();
  return v.rfind("_x0000_s", 0) == 0 ? std::stol(v.substr(8)) : -1;
}
long spidOf(const word::Shape& s) {
  return spidOf(*s.story(), s.name());
}

struct Fixture {
  std::unique_ptr<word::Document> doc = qftest::makeDoc(kBody);
  word::Shapes header() {
    doc->activeWindow().activePane().view().setSeekView(word::wdSeekCurrentPageHeader);
    return doc->selection().headerFooter().shapes();
  }
  word::Shape wordArt(word::Shapes shapes) {
    return shapes.addTextEffect(0, "WM", "宋体", 36, 0, 0, 0, 0);
  }
};

struct Case {
  const char* name;
  // Runs after the first header WordArt (numbered 3001) was added.
  std::function<void(Fixture&, word::Shape& first)> edit;
  long expected; // the number of the next header WordArt
};

TEST(ShapeNumbers, FollowEveryEdit) {
  const Case cases[] = {
      {"no edit", [](Fixture&, word::Shape&) {}, 3002},
      {"header WordArt deleted", [](Fixture&, word::Shape& first) { first.deleteShape(); }, 3001},
      {"body shape deleted as text",
       [](Fixture& f, word::Shape&) { f.doc->range(0, 1).deleteText(); }, 3002},
      {"both deleted",
       [](Fixture& f, word::Shape& first) {
         first.deleteShape();
         f.doc->range(0, 1).deleteText();
       },
       2049},
      {"body paragraph rewritten without its shape",
       [](Fixture& f, word::Shape& first) {
         first.deleteShape();
         f.doc->range(0, 5).setText("new");
       },
       2049},
      {"body shape deleted as a shape",
       [](Fixture& f, word::Shape& first) {
         first.deleteShape();
         std::vector<word::Shape> body = word::Shapes(&f.doc->content()).all();
         ASSERT_EQ(body.size(), 1u);
         body.front().deleteShape();
       },
       2049},
      {"WordArt added to the body",
       [](Fixture& f, word::Shape&) {
         EXPECT_EQ(spidOf(f.wordArt(word::Shapes(&f.doc->content()))), 3002);
       },
       3003},
      {"paragraph holding the shape merged away",
       [](Fixture& f, word::Shape& first) {
         first.deleteShape();
         f.doc->range(0, 6).deleteText();
       },
       2049},
      {"formatting and typing keep the number",
       [](Fixture& f, word::Shape& first) {
         first.deleteShape();
         word::Range all = f.doc->range(0, f.doc->content().length());
         all.font().apply({"黑体", 16.0f, true});
         f.doc->range(3, 3).insertBefore("插入\t文字");
         f.doc->range(2, 4).font().setBold(false);
       },
       3001},
      {"body text edited, shape kept",
       [](Fixture& f, word::Shape&) { f.doc->range(1, 5).setText("other text"); }, 3002},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    word::Shape first = f.wordArt(f.header());
    EXPECT_EQ(spidOf(first), 3001);
    c.edit(f, first);
    EXPECT_EQ(spidOf(f.wordArt(f.header())), c.expected);
  }
}

} // namespace
