// Reading a story: position lookups (Story::indexAt) start from the paragraph found last: every
// answer must still be the one the paragraph lengths give, whatever the order of the questions
// and whatever edits come between them; a range's content is read in place.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model_helpers.h"
#include "word/internal/story.h"

namespace {

// The index of the paragraph holding `pos`, from the paragraph texts (marks included).
int expectedIndex(word::Story& st, int64_t pos) {
  int64_t start = 0;
  for (int i = 0; i < st.count(); ++i) {
    int64_t len = static_cast<int64_t>(st.fullLen(st.at(i)));
    if (pos < start + len)
      return i;
    start += len;
  }
  return st.count() - 1;
}

TEST(StoryLookup, AnswersFollowEditsInEveryOrder) {
  std::string body;
  for (const char* t : {"a", "bb", "", "cccc", "d", "", "", "eeeeee", "f", "gg"})
    body += qftest::para(qftest::run(t));
  struct Case {
    const char* name;
    // Each step: an edit (insert `text` at `at`, or nothing when `text` is empty) then a
    // sweep over every position in the given direction.
    std::vector<std::pair<int64_t, std::string>> edits;
    bool backwards;
  };
  const Case cases[] = {
      {"forwards, no edits", {{0, ""}}, false},
      {"backwards, no edits", {{0, ""}}, true},
      {"forwards, text grows and splits", {{3, "xyz"}, {12, "\r"}, {0, "\r\r"}, {20, "q"}}, false},
      {"backwards, text grows and splits", {{3, "xyz"}, {12, "\r"}, {0, "\r\r"}, {20, "q"}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto doc = qftest::makeDoc(body);
    word::Story& st = doc->content();
    for (const auto& [at, text] : c.edits) {
      if (!text.empty())
        doc->range(at, at).insertBefore(text);
      const int64_t len = st.length();
      for (int64_t k = 0; k <= len + 1; ++k) {
        int64_t pos = c.backwards ? len + 1 - k : k;
        // Each position twice, and its neighbour in between, as the steps ask.
        EXPECT_EQ(st.indexAt(pos), expectedIndex(st, pos)) << pos;
        EXPECT_EQ(st.indexAt(std::max<int64_t>(pos - 1, 0)),
                  expectedIndex(st, std::max<int64_t>(pos - 1, 0)))
            << pos;
        EXPECT_EQ(st.indexAt(pos), expectedIndex(st, pos)) << pos;
      }
    }
  }
}

// Range::contentView is the range's text up to the first paragraph or cell mark, read in place.
TEST(StoryLookup, ContentViewIsTheTextUpToTheMark) {
  const std::string bodies[] = {
      qftest::para(qftest::run("甲乙丙")) + "<w:p/>" +
          qftest::para(qftest::run("ab") + qftest::run("cd")),
      qftest::kTable + qftest::para(qftest::run("后")),
      qftest::para("<w:r><w:t>x</w:t><w:tab/><w:t>y</w:t></w:r>"),
  };
  for (const std::string& body : bodies) {
    SCOPED_TRACE(body);
    auto doc = qftest::makeDoc(body);
    const int64_t len = doc->content().length();
    for (int64_t a = 0; a <= len; ++a)
      for (int64_t b = a; b <= len; ++b) {
        word::Range r = doc->range(a, b);
        std::u32string want = r.text32();
        want = want.substr(0, want.find_first_of(U"\r\a"));
        EXPECT_EQ(std::u32string(r.contentView()), want) << a << "-" << b;
      }
  }
}

} // namespace
