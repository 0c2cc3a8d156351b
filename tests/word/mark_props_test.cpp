// Formatting a paragraph's mark puts its w:rPr where ensureChild puts a missing child: after
// the properties that come before it in w:pPr and before those that follow it, whatever else
// (unknown or foreign elements) the w:pPr holds.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "model_helpers.h"
#include "word/font.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"

namespace {

// The first paragraph's w:pPr as XML.
std::string pPrXml(word::Document& doc) {
  std::ostringstream out;
  doc.content().at(0)->p.child("w:pPr").print(out, "", pugi::format_raw);
  return out.str();
}

TEST(MarkProps, PlacedAsEnsureChildPlacesIt) {
  const std::string cases[] = {
      "",
      "<w:jc w:val=\"center\"/>",
      "<w:pStyle w:val=\"a\"/><w:sectPr/>",
      "<w:spacing/><w:pPrChange/>",
      "<w:sectPr/><w:jc/>",
      "<w:jc/><x:foreign xmlns:x=\"urn:x\"/><w:unknown/>",
      "<w:unknown/><w:sectPr/><w:pPrChange/>",
      "<w:rPr><w:i/></w:rPr><w:sectPr/>",
      "<w:pPrChange/><w:rPr/>",
  };
  for (const std::string& pPr : cases) {
    SCOPED_TRACE(pPr);
    const std::string body =
        qftest::para(qftest::run("文字"), pPr) + qftest::para(qftest::run("尾"));
    // What ensureChild makes of the same w:pPr.
    auto want = qftest::makeDoc(body);
    {
      pugi::xml_node p = want->content().at(0)->p;
      const word::WNames& n = want->content().names();
      word::ensureChild(word::paraProps(p, n), "rPr", n).append_child("w:sz");
    }
    auto doc = qftest::makeDoc(body);
    doc->range(0, 3).font().setSize(12);
    std::string got = pPrXml(*doc);
    std::string expected = pPrXml(*want);
    // The only difference allowed is the value written.
    expected.replace(expected.find("<w:sz/>"), 7, "<w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/>");
    EXPECT_EQ(got, expected);
  }
}

} // namespace
