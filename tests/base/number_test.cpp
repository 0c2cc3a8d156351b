// Numbers written as text in settings: what reads as a number in single and double precision,
// what does not, and the rounding to an integer.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "base/number.h"

namespace {

TEST(ParseNumber, ReadsDecimalText) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {{"3.7", 3.7},   {"0", 0},       {"-1.25", -1.25}, {"+2", 2},
                        {" 2.5 ", 2.5}, {"\t28\t", 28}, {"1e1", 10},      {".5", 0.5},
                        {"5.", 5},      {"-.5", -0.5},  {"+.5", 0.5},     {"1E-2", 0.01},
                        {"007", 7},     {"-0", -0.0},   {"1e38", 1e38},   {"2.5e+1", 25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(base::parseNumber<double>(c.text), std::optional<double>(c.value));
    EXPECT_EQ(base::parseNumber<float>(c.text), std::optional<float>(static_cast<float>(c.value)));
  }
}

TEST(ParseNumber, RefusesWhatIsNoNumber) {
  for (const char* text :
       {"",     " ",   "\t",       "abc", "2,5", "2.5cm", "0x10", "inf",    "-inf",
        "+inf", "nan", "infinity", "+-1", "-+1", "++1",   "--1",  "+",      "-",
        ".",    "e5",  "1e",       "1 2", "三",  "１",    "1\n",  "\u30001"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(base::parseNumber<double>(text), std::nullopt);
    EXPECT_EQ(base::parseNumber<float>(text), std::nullopt);
  }
}

TEST(ParseNumber, RangeIsThatOfTheType) {
  EXPECT_EQ(base::parseNumber<float>("1e40"), std::nullopt);
  EXPECT_EQ(base::parseNumber<double>("1e40"), std::optional<double>(1e40));
  EXPECT_EQ(base::parseNumber<double>("1e999"), std::nullopt);
  // Single precision is read from the text, not through double: the nearest float.
  EXPECT_EQ(base::parseNumber<float>("0.1"), std::optional<float>(0.1f));
}

TEST(ParseNumber, BlanksAreSpacesAndTabsOnly) {
  EXPECT_TRUE(base::isBlank(""));
  EXPECT_TRUE(base::isBlank(" \t "));
  EXPECT_FALSE(base::isBlank(" 0 "));
  EXPECT_FALSE(base::isBlank("\n"));
  EXPECT_EQ(base::trimBlanks(" \t1 2\t "), "1 2");
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  struct Case {
    double value;
    int64_t rounded;
  };
  const Case cases[] = {{0.5, 0},  {1.5, 2},   {2.5, 2},   {-0.5, 0},  {-1.5, -2}, {0.2, 0},
                        {0.51, 1}, {10.5, 10}, {11.5, 12}, {-2.6, -3}, {7.0, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(base::roundHalfEven(c.value, -100, 100), std::optional<int64_t>(c.rounded));
    EXPECT_EQ(base::roundHalfEven(static_cast<float>(c.value), -100, 100),
              std::optional<int64_t>(c.rounded));
  }
}

TEST(RoundHalfEven, BoundsAreInclusive) {
  EXPECT_EQ(base::roundHalfEven(32767.4, -32768, 32767), std::optional<int64_t>(32767));
  EXPECT_EQ(base::roundHalfEven(32767.6, -32768, 32767), std::nullopt);
  EXPECT_EQ(base::roundHalfEven(-32768.5, -32768, 32767), std::optional<int64_t>(-32768));
  EXPECT_EQ(base::roundHalfEven(-32768.6, -32768, 32767), std::nullopt);
  // A float has no integer between 2^31 - 128 and 2^31: the 32-bit bound holds exactly.
  constexpr int64_t lo = std::numeric_limits<int32_t>::min(),
                    hi = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(base::roundHalfEven(2147483520.0f, lo, hi), std::optional<int64_t>(2147483520));
  EXPECT_EQ(base::roundHalfEven(2147483648.0f, lo, hi), std::nullopt);
  EXPECT_EQ(base::roundHalfEven(-2147483648.0f, lo, hi), std::optional<int64_t>(lo));
  EXPECT_EQ(base::roundHalfEven(1e30f, lo, hi), std::nullopt);
}

} // namespace

TEST(ParseWholeNumber, TakesOnlyTheDigitsOfTheWholeText) {
  const struct {
    const char* text;
    std::optional<long long> value;
  } cases[] = {{"0", 0},
               {"12", 12},
               {"-3", -3},
               {"", std::nullopt},
               {" 1", std::nullopt},
               {"1 ", std::nullopt},
               {"+1", std::nullopt},
               {"1.0", std::nullopt},
               {"1e2", std::nullopt},
               {"99999999999999999999", std::nullopt}};
  for (const auto& c : cases)
    EXPECT_EQ(base::parseWholeNumber(c.text), c.value) << '"' << c.text << '"';
}
