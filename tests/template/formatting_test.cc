#include "template/formatting.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora::templating {
namespace {

using text::ShortString;

std::string Call(void (*handler)(ShortString&), const std::string& argument) {
  ShortString value(argument);
  handler(value);
  return value.str();
}

TEST(Pad, FillsToTheWidthNeverCuts) {
  struct Case {
    std::string text;
    int width;
    std::string left, right, center;
  };
  const Case cases[] = {
      {"abc", 8, ".....abc", "abc.....", "..abc..."},
      {"ab", 6, "....ab", "ab....", "..ab.."},
      {"abc", 3, "abc", "abc", "abc"},
      {"abcdef", 3, "abcdef", "abcdef", "abcdef"},
      {"", 0, "", "", ""},
      {"", 3, "...", "...", "..."},
      {"a", 4, "...a", "a...", ".a.."},
  };
  for (const auto& c : cases) {
    auto width = static_cast<std::uint8_t>(c.width);
    EXPECT_EQ(PadLeft(c.text, '.', width).str(), c.left) << c.text << c.width;
    EXPECT_EQ(PadRight(c.text, '.', width).str(), c.right) << c.text << c.width;
    EXPECT_EQ(PadCenter(c.text, '.', width).str(), c.center) << c.text << c.width;
  }
  EXPECT_EQ(PadRight("x", '-', 255).size(), 255u);
}

TEST(PadText, Examples) {
  struct Case {
    std::string argument;
    std::string result;
  };
  const Case cases[] = {
      {"RIGHT|.|8|abc", "abc....."},
      {"LEFT|.|8|abc", ".....abc"},
      {"CENTER|*|8|abc", "**abc***"},
      {"LEFT|.|3|abcdef", "def"},
      {"RIGHT|.|3|abcdef", "abc"},
      {"CENTER|.|3|abcdef", "bcd"},
      {"CENTER|.|4|abcdefghij", "cdef"},
      {"MIDDLE|*|8|abc", "**abc***"},
      {"MIDDLE|*|2|abc", "abc"},
      {"right|-=|6|ab", "ab----"},
      {"Left|.|4|ab", "..ab"},
      {"RIGHT|.|5", "....."},
      {"RIGHT|.|x|ab", ""},
      {"RIGHT|.|5 |ab", ""},
      {"RIGHT||.|5|ab", "ab..."},
      {"LEFT| |10|x", "         x"},
      {" LEFT|.|4|ab", ".ab."},  // " LEFT" is no alignment word
      {"RIGHT|.|4|ab|ignored", "ab.."},
      {"RIGHT|.|$A|ab", "ab........"},
      {"", ""},
      {"|||", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Call(PadText, c.argument), c.result) << c.argument;
}

TEST(PadText, WidthRules) {
  // The cut sees the whole width, the padding only its low 8 bits.
  EXPECT_EQ(Call(PadText, "LEFT|.|300|ab"), std::string(42, '.') + "ab");
  EXPECT_EQ(Call(PadText, "RIGHT|.|256|ab"), "ab");
  EXPECT_EQ(Call(PadText, "CENTER|.|259|ab"), "ab.");
  EXPECT_EQ(Call(PadText, "MIDDLE|.|-3|ab"),
            std::string(125, '.') + "ab" + std::string(126, '.'));
  for (const char* alignment : {"LEFT", "RIGHT", "CENTER"}) {
    for (const char* width : {"0", "-1", "-3", "-2147483647", "$80000000"}) {
      std::string argument = std::string(alignment) + "|.|" + width + "|abc";
      EXPECT_EQ(Call(PadText, argument), "") << argument;
    }
  }
  EXPECT_EQ(Call(PadText, "MIDDLE|.|0|abc"), "abc");
  EXPECT_EQ(Call(PadText, "CENTER|.|0|"), "");
}

TEST(GroupDigits, Examples) {
  struct Case {
    std::string argument;
    std::string result;
  };
  const Case cases[] = {
      {",|1234567", "1,234,567"},
      {" |1234567", "1 234 567"},
      {",|123", "123"},
      {",|1234", "1,234"},
      {",|-1234", "-1234"},
      {".|12a4", "12a4"},
      {"ab|1234", "1a234"},
      {",|123456", "123,456"},
      {",|0001234", "0,001,234"},
      {",|12345678901234", "12,345,678,901,234"},
      {",|1 234", "1 234"},
      {",|", ""},
      {"", ""},
      {",", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Call(GroupDigits, c.argument), c.result) << c.argument;
}

TEST(GroupDigits, LongResultLosesItsEnd) {
  std::string digits(250, '1');
  std::string grouped = Call(GroupDigits, ",|" + digits);
  ASSERT_EQ(grouped.size(), 255u);
  // 250 digits: the first group has 1 digit, then groups of three.
  EXPECT_EQ(grouped.substr(0, 10), "1,111,111,");
  EXPECT_EQ(grouped.substr(250), "111,1");
}

TEST(ScaleSize, Examples) {
  struct Case {
    std::string argument;
    std::string result;
  };
  const Case cases[] = {
      {"4|123456789", "117Mb"},
      {"8|123456789", "120563Kb"},
      {"3|2048", "2Kb"},
      {"5|2048", "0Mb"},
      {"3|500", "0Kb"},
      {"3|-5000", "-4Kb"},
      {"3|abc", "0Kb"},
      {"", "0Kb"},
      {"20|0", "0Kb"},
      {"-2147483647|123456789", "0Gb"},
      {"2147483647|123456789", "0Gb"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Call(ScaleSize, c.argument), c.result) << c.argument;
}

// Sizes are read in 64 bits; what is no 64-bit number counts as 0.
TEST(ScaleSize, SizesBeyond32Bits) {
  struct Case {
    std::string argument;
    std::string result;
  };
  const Case cases[] = {
      {"4|52428800000", "48Gb"},
      {"1|2147483648", "2Gb"},
      {"6|2147483648", "2048Mb"},
      {"10|2147483648", "2097152Kb"},
      {"1|4294967296", "4Gb"},
      {"7|4294967296", "4096Mb"},
      {"4|9223372036854775807", "8589934591Gb"},
      {"19|9223372036854775807", "9007199254740991Kb"},
      {"20|9223372036854775807", "8589934591Gb"},
      {"3|9223372036854775808", "0Kb"},
      {"3|-2147483648", "-2Gb"},
      {"4|-52428800000", "-48Gb"},
      {"5|-9223372036854775807", "-8589934591Gb"},
      {"3|-9223372036854775808", "0Kb"},
      {"1|$FFFFFFFF", "3Gb"},
      {"3|$FFFFFFFFFFFFFFFF", "0Kb"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Call(ScaleSize, c.argument), c.result) << c.argument;
}

TEST(ScaleSize, StopsAtGigabytes) {
  // Values of 1 GiB and more reach "Gb" with a non-zero value; the unit
  // table ends there, so that result is final whatever its length.
  struct Case {
    std::string argument;
    std::string result;
  };
  const Case cases[] = {
      {"1|1073741824", "1Gb"},
      {"5|1073741824", "1024Mb"},
      {"20|1073741824", "1Gb"},
      {"3|1073741824", "1Gb"},
      {"1|2147483647", "1Gb"},
      {"5|2147483647", "2047Mb"},
      {"30|2147483647", "1Gb"},
      {"1|-2147483647", "-1Gb"},
      {"5|-1073741824", "-1Gb"},
      {"1|$80000000", "2Gb"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Call(ScaleSize, c.argument), c.result) << c.argument;
}

}  // namespace
}  // namespace kelmora::templating
