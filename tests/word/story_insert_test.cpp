// Plain text typed into a paragraph joins the w:t it follows, spliced into its UTF-8: the
// pieces of text around the insertion point, their runs and the xml:space mark must come out as
// a conversion of the whole piece would make them.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "model_helpers.h"
#include "word/internal/story.h"

namespace {

std::string bodyXml(word::Document& doc) {
  std::ostringstream out;
  doc.content().at(0)->p.print(out, "", pugi::format_raw);
  return out.str();
}

TEST(StoryInsert, SplicedIntoTheTextItFollows) {
  using qftest::run;
  const struct {
    const char* name;
    std::string runs;
    int64_t at;
    std::string text;
    std::string want; // the paragraph's runs afterwards
  } cases[] = {
      {"between ideographs", run("甲乙"), 1, "X",
       "<w:r><w:t xml:space=\"preserve\">甲X乙</w:t></w:r>"},
      {"at the start", "<w:r><w:t>ab</w:t></w:r>", 0, "中", "<w:r><w:t>中ab</w:t></w:r>"},
      {"at the end", "<w:r><w:t>ab</w:t></w:r>", 2, "中乙", "<w:r><w:t>ab中乙</w:t></w:r>"},
      {"between four-byte characters", "<w:r><w:t>\U00020000\U00020001</w:t></w:r>", 1, "x",
       "<w:r><w:t>\U00020000x\U00020001</w:t></w:r>"},
      {"a trailing space keeps itself", "<w:r><w:t>ab</w:t></w:r>", 2, " ",
       "<w:r><w:t xml:space=\"preserve\">ab </w:t></w:r>"},
      {"a leading space", "<w:r><w:t>ab</w:t></w:r>", 0, " ",
       "<w:r><w:t xml:space=\"preserve\"> ab</w:t></w:r>"},
      {"an ideographic space needs no mark", "<w:r><w:t>ab</w:t></w:r>", 0, "\u3000",
       "<w:r><w:t>\u3000ab</w:t></w:r>"},
      {"after the first run", "<w:r><w:t>甲</w:t></w:r><w:r><w:t>乙</w:t></w:r>", 1, "丙",
       "<w:r><w:t>甲丙</w:t></w:r><w:r><w:t>乙</w:t></w:r>"},
      {"markup characters", "<w:r><w:t>a&amp;b</w:t></w:r>", 2, "<&>",
       "<w:r><w:t>a&amp;&lt;&amp;&gt;b</w:t></w:r>"},
      {"a two-byte character before", "<w:r><w:t>éa</w:t></w:r>", 1, "ü",
       "<w:r><w:t>éüa</w:t></w:r>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto doc = qftest::makeDoc("<w:p>" + c.runs + "</w:p>");
    doc->range(c.at, c.at).insertBefore(c.text);
    EXPECT_EQ(bodyXml(*doc), "<w:p>" + c.want + "</w:p>");
    // The model's text follows the XML.
    std::u32string fresh = doc->range(0, doc->content().length()).text32();
    doc->content().invalidateAll();
    EXPECT_EQ(doc->range(0, doc->content().length()).text32(), fresh);
  }
}

} // namespace
