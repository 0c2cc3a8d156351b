// The model's text of the paragraphs, freed once the edits are done, is made again from the
// XML when asked for: reading and editing after the release see the document as it is.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/word/model_helpers.h"
#include "word/document.h"
#include "word/internal/access.h"

namespace {

using qftest::para;
using qftest::run;

struct ReleaseCase {
  const char* label;
  std::function<void(word::Document&)> before;       // an edit made before the release
  std::function<std::string(word::Document&)> after; // read or edited after it
  std::string expected;
};

class ReleasedText : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(ReleasedText, IsMadeAgainFromTheXml) {
  const ReleaseCase& c = GetParam();
  auto doc = qftest::makeDoc(para(run("第一") + run("段")) + para(run("第二段")) + qftest::kTable +
                             para(run("末段")));
  c.before(*doc);
  doc->releaseTextCaches();
  EXPECT_EQ(c.after(*doc), c.expected);
  // Released twice, and the XML is the same as without a release.
  doc->releaseTextCaches();
  const std::string xml = word::packageOf(*doc).bytes("word/document.xml");
  auto kept = qftest::makeDoc(para(run("第一") + run("段")) + para(run("第二段")) + qftest::kTable +
                              para(run("末段")));
  c.before(*kept);
  c.after(*kept);
  EXPECT_EQ(word::packageOf(*kept).bytes("word/document.xml"), xml);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReleasedText,
    ::testing::Values(
        ReleaseCase{"TextAsRead", [](word::Document&) {},
                    [](word::Document& d) { return d.contentRange().text(); },
                    "第一段\r第二段\r格\r\a格\r\a末段\r"},
        ReleaseCase{
            "TextAfterAnEdit",
            [](word::Document& d) { d.paragraphs().item(2).range().setText("改过的段落\r"); },
            [](word::Document& d) { return d.contentRange().text(); },
            "第一段\r改过的段落\r格\r\a格\r\a末段\r"},
        ReleaseCase{"EditAfterTheRelease", [](word::Document& d) { (void)d.contentRange().text(); },
                    [](word::Document& d) {
                      d.paragraphs().item(1).range().setText("新的第一段\r");
                      return d.paragraphs().item(1).range().text() + "|" +
                             d.paragraphs().item(2).range().text();
                    },
                    "新的第一段\r|第二段\r"},
        ReleaseCase{"CountAndLastParagraph", [](word::Document&) {},
                    [](word::Document& d) {
                      return std::to_string(d.paragraphs().count()) + "|" +
                             d.paragraphs().item(d.paragraphs().count()).range().text();
                    },
                    "5|末段\r"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
