// Text escaped for XML built as text reads back unchanged, in an attribute and in content.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>

#include "base/xml_escape.h"

namespace {

TEST(XmlEscaped, ReadsBackAsTheSameTextInAttributesAndContent) {
  const std::string cases[] = {"plain",
                               "",
                               "a & b",
                               "<w:p>",
                               "\"quoted\" and 'single'",
                               "tab\there",
                               "line\nbreak",
                               "cr\r\nlf",
                               "  leading and trailing  ",
                               "仿宋_GB2312 &amp; 已转义",
                               "/tmp/路径 with spaces/fonts.conf",
                               "]]> and <!-- -->"};
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    const std::string xml =
        "<e a=\"" + base::xmlEscaped(text) + "\">" + base::xmlEscaped(text) + "</e>";
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str(), pugi::parse_default | pugi::parse_ws_pcdata));
    const pugi::xml_node e = doc.child("e");
    EXPECT_EQ(std::string(e.attribute("a").value()), text);
    EXPECT_EQ(std::string(e.text().get()), text);
  }
}

} // namespace
