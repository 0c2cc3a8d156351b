// The memory check before a run: a document too large for the memory left is refused with a
// reason that gives both figures; one that fits, or a machine that says nothing, runs.

#include <gtest/gtest.h>

#include "engine/memory_budget.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

TEST(MemoryBudget, RefusesOnlyWhatDoesNotFit) {
  struct Case {
    int64_t paragraphs;
    const char* mode;
    std::optional<uint64_t> available;
    bool refused;
  } cases[] = {
      {1000, "0", 4096 * kMiB, false},
      {1000000, "0", 3374 * kMiB, true},       // a million lines under a 4 GB limit
      {1000000, "YeMian", 3374 * kMiB, false}, // the page run changes little per paragraph
      {100000, "0", 2 * kMiB, true},
      {100000, "0", std::nullopt, false}, // nothing known: the run goes ahead
      {0, "0", 64 * kMiB, false},         // an empty body
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.paragraphs) + " " + c.mode);
    auto why = engine::memoryShortfall(c.paragraphs, c.mode, c.available);
    EXPECT_EQ(why.has_value(), c.refused);
    if (why) {
      EXPECT_NE(why->find(std::to_string(c.paragraphs)), std::string::npos) << *why;
      EXPECT_NE(why->find(std::to_string(*c.available / kMiB) + " MB"), std::string::npos) << *why;
    }
  }
}

TEST(MemoryBudget, TheFullRunNeedsMoreThanThePartialRunsAndGrowsWithTheDocument) {
  EXPECT_GT(engine::runMemoryEstimate(10000, "0"), engine::runMemoryEstimate(10000, "YeMian"));
  EXPECT_GT(engine::runMemoryEstimate(20000, "0"), engine::runMemoryEstimate(10000, "0"));
}

TEST(MemoryBudget, ThisMachineReportsSomeMemory) {
  auto available = engine::availableMemory();
  ASSERT_TRUE(available.has_value());
  EXPECT_GT(*available, 16 * kMiB);
}

} // namespace
