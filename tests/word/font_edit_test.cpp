// Character formatting written into run properties of every shape: each property lands at its
// place in the schema order whatever the list already holds (out of order, other namespaces,
// repeated elements), and several changes made at once write what the same changes made one
// after another write.

#include <gtest/gtest.h>

#include <string>

#include "tests/word/model_helpers.h"
#include "word/document.h"
#include "word/error.h"
#include "word/font.h"
#include "word/internal/access.h"

namespace {

using qftest::para;
using qftest::run;

std::string mainXml(word::Document& d) {
  return word::packageOf(d).bytes("word/document.xml");
}

// The w:rPr of the first run as saved.
std::string firstRunProps(word::Document& d) {
  const std::string xml = mainXml(d);
  size_t r = xml.find("<w:r>");
  size_t a = xml.find("<w:rPr", r);
  size_t b = xml.find("</w:rPr>", a);
  return a == std::string::npos || b == std::string::npos ? std::string()
                                                          : xml.substr(a, b + 8 - a);
}

struct EditCase {
  const char* label;
  std::string rPr; // the run's properties before
  bool bold;
  std::string expected; // the run's w:rPr after
};

const std::string kFonts = "<w:rFonts w:ascii=\"仿宋\" w:hAnsi=\"仿宋\" w:eastAsia=\"仿宋\" "
                           "w:cs=\"仿宋\"/>";

class FontEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(FontEdits, PlacePropertiesInSchemaOrder) {
  const EditCase& c = GetParam();
  const std::string doc = para(run("正文", c.rPr));
  auto together = qftest::makeDoc(doc);
  together->contentRange().font().apply({"仿宋", 16.0f, c.bold});
  EXPECT_EQ(firstRunProps(*together), c.expected);

  auto oneByOne = qftest::makeDoc(doc);
  word::Font f = oneByOne->contentRange().font();
  f.setName("仿宋");
  f.setSize(16.0f);
  f.setBold(c.bold);
  EXPECT_EQ(mainXml(*oneByOne), mainXml(*together));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FontEdits,
    ::testing::Values(
        EditCase{"NoPropertiesYet", "", true,
                 "<w:rPr>" + kFonts +
                     "<w:b/><w:bCs/><w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/>"
                     "</w:rPr>"},
        EditCase{"BetweenThoseThere",
                 "<w:rStyle w:val=\"X\"/><w:i/><w:color w:val=\"FF0000\"/><w:lang w:val=\"zh\"/>",
                 true,
                 "<w:rPr><w:rStyle w:val=\"X\"/>" + kFonts +
                     "<w:b/><w:bCs/><w:i/><w:color w:val=\"FF0000\"/><w:sz w:val=\"32\"/>"
                     "<w:szCs w:val=\"32\"/><w:lang w:val=\"zh\"/></w:rPr>"},
        EditCase{"ThemeFontsDroppedOtherAttributesKept",
                 "<w:rFonts w:asciiTheme=\"minorHAnsi\" w:hint=\"eastAsia\" "
                 "w:eastAsiaTheme=\"minorEastAsia\"/><w:sz w:val=\"21\"/>",
                 true,
                 "<w:rPr><w:rFonts w:hint=\"eastAsia\" w:ascii=\"仿宋\" w:hAnsi=\"仿宋\" "
                 "w:eastAsia=\"仿宋\" w:cs=\"仿宋\"/><w:b/><w:bCs/><w:sz w:val=\"32\"/>"
                 "<w:szCs w:val=\"32\"/></w:rPr>"},
        EditCase{"EveryBoldGoesWhereNothingAboveIsBold",
                 "<w:b/><w:bCs w:val=\"1\"/><w:b w:val=\"true\"/><w:i/>", false,
                 "<w:rPr>" + kFonts + "<w:i/><w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/></w:rPr>"},
        EditCase{"OutOfOrderListUpdatedInPlace",
                 "<w:szCs w:val=\"20\"/><w:sz w:val=\"20\"/><w:color w:val=\"00FF00\"/>"
                 "<w:rFonts w:ascii=\"A\"/>",
                 true,
                 "<w:rPr><w:b/><w:bCs/><w:szCs w:val=\"32\"/><w:sz w:val=\"32\"/>"
                 "<w:color w:val=\"00FF00\"/><w:rFonts w:ascii=\"仿宋\" w:hAnsi=\"仿宋\" "
                 "w:eastAsia=\"仿宋\" w:cs=\"仿宋\"/></w:rPr>"},
        EditCase{"OtherNamespacesAndUnknownNamesPassedOver",
                 "<w14:glow xmlns:w14=\"http://schemas.microsoft.com/office/word/2010/wordml\"/>"
                 "<w:unknownThing/><w:vanish/>",
                 false,
                 "<w:rPr><w14:glow "
                 "xmlns:w14=\"http://schemas.microsoft.com/office/word/2010/wordml\"/>"
                 "<w:unknownThing/>" +
                     kFonts + "<w:vanish/><w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/></w:rPr>"}),
    [](const auto& info) { return info.param.label; });

// A size the model refuses changes nothing, not even the other properties of the same edit.
TEST(FontEdits, RefusedSizeChangesNothing) {
  auto d = qftest::makeDoc(para(run("正文")));
  const std::string before = mainXml(*d);
  EXPECT_THROW(d->contentRange().font().apply({"仿宋", 2000.0f, true}), word::DocumentError);
  EXPECT_EQ(mainXml(*d), before);
}

} // namespace
