#include "base/md5.h"

#include <gtest/gtest.h>

#include <string>

#include <fmt/format.h>

namespace {

std::string hex(std::string_view bytes) {
  std::string out;
  for (std::uint8_t b : base::md5(bytes))
    out += fmt::format("{:02x}", b);
  return out;
}

TEST(Md5, KnownDigestsAcrossTheBlockAndPaddingEdges) {
  struct Case {
    std::string input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      // 55 bytes still take their length in the same block; 56 need a second one.
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
      {std::string(119, 'a'), "8a7bd0732ed6a28ce75f6dabc90e1613"},
      {std::string(120, 'a'), "5f61c0ccad4cac44c75ff505e1f1e537"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(hex(c.input), c.digest) << c.input.size() << " bytes";
}

} // namespace
