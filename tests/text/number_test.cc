#include "text/number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace kelmora::text {
namespace {

TEST(Val, ParsesOrNamesTheOffendingPosition) {
  struct Case {
    std::string text;
    std::int32_t value, code;
  } cases[] = {
      {"12", 12, 0},
      {"  12", 12, 0},
      {"12 ", 0, 3},
      {"12a", 0, 3},
      {"\t12", 0, 1},  // only spaces are skipped
      {"", 0, 1},
      {"   ", 0, 4},
      {"+", 0, 2},
      {"-", 0, 2},
      {"$", 0, 2},
      {"-$", 0, 3},
      {" +$", 0, 4},
      {"+5", 5, 0},
      {"-5", -5, 0},
      {"- 5", 0, 2},
      {"+-5", 0, 2},
      {"0", 0, 0},
      {"007", 7, 0},
      {"2147483647", 2147483647, 0},
      {"2147483648", 0, 10},
      {"-2147483647", -2147483647, 0},
      {"-2147483648", 0, 11},  // the magnitude is limited before the sign
      {"99999999999", 0, 10},
      {"-$10", -16, 0},
      {"$10", 16, 0},
      {"$ff", 255, 0},
      {"$Ff", 255, 0},
      {"$7FFFFFFF", 2147483647, 0},
      {"$80000000", std::numeric_limits<std::int32_t>::min(), 0},
      {"$FFFFFFFF", -1, 0},
      {"-$FFFFFFFF", 1, 0},
      {"$100000000", 0, 10},  // a ninth significant digit
      {"$000000001", 1, 0},   // leading zeros are not significant
      {"$1g", 0, 3},
      {"12$", 0, 3},
      {"1 2", 0, 2},
      {"\xB0", 0, 1},
  };
  for (const Case& c : cases) {
    ValResult result = Val(c.text);
    EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(result.code, c.code) << '"' << c.text << '"';
  }
}

TEST(Val64, SameRulesWithTheLimitsOf64Bits) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  struct Case {
    std::string text;
    std::int64_t value;
    std::int32_t code;
  } cases[] = {
      {"2147483648", 2147483648, 0},
      {"-2147483648", -2147483648LL, 0},
      {"9223372036854775807", 9223372036854775807LL, 0},
      {"9223372036854775808", 0, 19},
      {"-9223372036854775807", -9223372036854775807LL, 0},
      {"-9223372036854775808", 0, 20},  // the magnitude is limited before the sign
      {"99999999999999999999", 0, 19},
      {" +52428800000", 52428800000LL, 0},
      {"$FFFFFFFF", 4294967295LL, 0},
      {"$7FFFFFFFFFFFFFFF", 9223372036854775807LL, 0},
      {"$8000000000000000", kMin, 0},
      {"$FFFFFFFFFFFFFFFF", -1, 0},
      {"$10000000000000000", 0, 18},  // a seventeenth significant digit
      {"12 ", 0, 3},
      {"", 0, 1},
  };
  for (const Case& c : cases) {
    Val64Result result = Val64(c.text);
    EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(result.code, c.code) << '"' << c.text << '"';
  }
  EXPECT_EQ(IntToStr64(kMin).str(), "-9223372036854775808");
  EXPECT_EQ(IntToStr64(std::numeric_limits<std::int64_t>::max()).str(), "9223372036854775807");
  EXPECT_EQ(IntToStr64(-48).str(), "-48");
}

TEST(StrToInt, GivesZeroForAnyBadText) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("-$20"), -32);
  EXPECT_EQ(StrToInt("42x"), 0);
  EXPECT_EQ(StrToInt(""), 0);
  EXPECT_EQ(StrToInt("2147483648"), 0);
}

TEST(Str, RightAlignsInTheWidth) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    std::int32_t value;
    int width;
    std::string expected;
  } cases[] = {
      {-5, 4, "  -5"},
      {12345, 2, "12345"},
      {12345, 5, "12345"},
      {12345, 6, " 12345"},
      {0, 0, "0"},
      {0, 3, "  0"},
      {7, -3, "7"},
      {kMax, 0, "2147483647"},
      {kMin, 0, "-2147483648"},
      {kMin, 12, " -2147483648"},
  };
  for (const Case& c : cases) EXPECT_EQ(Str(c.value, c.width).str(), c.expected) << c.value;
}

TEST(IntToStr, IsStrWithoutPadding) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  struct Case {
    std::int32_t value;
    std::string expected;
  } cases[] = {{0, "0"}, {-1, "-1"}, {1000, "1000"}, {kMin, "-2147483648"}};
  for (const Case& c : cases) EXPECT_EQ(IntToStr(c.value).str(), c.expected);
}

TEST(HexDigits, KeepsTheLowDigitsWithZerosInFront) {
  struct Case {
    std::uint32_t value;
    int digits;
    std::string expected;
  } cases[] = {
      {0, 4, "0000"},
      {0x00A0, 4, "00A0"},
      {0xBEEF, 4, "BEEF"},
      {0xFFFF, 4, "FFFF"},
      {0x12345, 4, "2345"},  // higher digits dropped
      {0x1B, 2, "1B"},
      {0x7F, 2, "7F"},
      {0, 8, "00000000"},
      {0x80000000, 8, "80000000"},
      {0xFFFFFFFF, 8, "FFFFFFFF"},
      {0x1234ABCD, 12, "1234ABCD"},  // never more than the value holds
      {0xFF, 0, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HexDigits(c.value, c.digits).str(), c.expected) << c.value << " " << c.digits;
}

TEST(Val, ReadsBackWhatStrWrites) {
  for (std::int32_t value : {0, 1, -1, 99, -100000, 2147483647, -2147483647}) {
    ValResult result = Val(IntToStr(value).view());
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.value, value);
  }
}

}  // namespace
}  // namespace kelmora::text
