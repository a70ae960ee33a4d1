#include "template/formatting.h"

#include <gtest/gtest.h>

#include <string>

#include "text/text_rules.h"

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
    EXPECT_EQ(PadLeft(c.text, ".", width).str(), c.left) << c.text << c.width;
    EXPECT_EQ(PadRight(c.text, ".", width).str(), c.right) << c.text << c.width;
    EXPECT_EQ(PadCenter(c.text, ".", width).str(), c.center) << c.text << c.width;
  }
  EXPECT_EQ(PadRight("x", "-", 255).size(), 255u);
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
  for (const auto& c : cases) EXPECT_EQ(Call(PadText, c.argument), c.result) << c.argument;
}

// Text beyond ASCII: the Linux build counts the columns a terminal shows
// (UTF-8 characters, 2 for a wide one, 0 for a combining mark, 1 for an
// invalid byte) and fills and cuts by whole characters; the Windows build
// counts bytes of code page 866.
TEST(PadText, ColumnsOfTheBuildsText) {
  struct Case {
    std::string argument;
    std::string utf8, cp866;
  };
  const std::string e = "\xC3\xA9";         // é, two bytes
  const std::string euro = "\xE2\x82\xAC";  // €, three bytes
  const std::string zh = "\xE4\xB8\xAD", wen = "\xE6\x96\x87", zi = "\xE5\xAD\x97";
  const std::string acute = "\xCC\x81";  // a combining mark after "e"
  const std::string dot = "\xC2\xB7";    // ·, a two-byte fill
  const Case cases[] = {
      {"LEFT|.|8|h" + e + "llo", "...h" + e + "llo", "..h" + e + "llo"},
      {"RIGHT|.|8|h" + e + "llo", "h" + e + "llo...", "h" + e + "llo.."},
      {"CENTER|.|8|h" + e + "llo", ".h" + e + "llo..", ".h" + e + "llo."},
      {"MIDDLE|.|7|h" + e + "llo", ".h" + e + "llo.", "h" + e + "llo."},
      {"RIGHT|.|2|h" + e + "llo", "h" + e, "h\xC3"},
      {"LEFT|.|4|h" + e + "llo", e + "llo", "\xA9llo"},
      {"LEFT|.|5|a" + euro + "b", "..a" + euro + "b", "a" + euro + "b"},
      {"RIGHT|.|2|a" + euro + "b", "a" + euro, "a\xE2"},
      // Wide characters; a column that one fills only in part gets the fill.
      {"RIGHT|.|6|" + zh + wen, zh + wen + "..", zh + wen},
      {"RIGHT|.|3|" + zh + wen, zh + ".", zh},
      {"LEFT|.|3|" + zh + wen, "." + wen, wen},
      {"LEFT|.|1|" + zh, ".", "\xAD"},
      {"CENTER|.|2|a" + zh + wen + "b", zh, "\xB8\xAD"},
      {"CENTER|.|3|" + zh + wen + zi, "." + wen, "\xAD\xE6\x96"},
      {"CENTER|.|4|" + zh + "a" + wen + zi, ".a" + wen,
       "\xAD"
       "a\xE6\x96"},
      // A combining mark takes no column and stays with its letter.
      {"RIGHT|.|5|ae" + acute + "b", "ae" + acute + "b..", "ae" + acute + "b"},
      {"RIGHT|.|2|ae" + acute + "b", "ae" + acute, "ae"},
      {"LEFT|.|2|ae" + acute + "b", "e" + acute + "b",
       "\x81"
       "b"},
      {"RIGHT|.|1|" + acute + "x", acute + "x", "\xCC"},
      // Bytes of no valid sequence are a column each, in either build.
      {"RIGHT|.|6|\xFF\xFE"
       "ab",
       "\xFF\xFE"
       "ab..",
       "\xFF\xFE"
       "ab.."},
      {"LEFT|.|2|\xE4\xB8"
       "ab",
       "ab", "ab"},
      {"RIGHT|.|3|\xE4\xB8"
       "ab",
       "\xE4\xB8"
       "a",
       "\xE4\xB8"
       "a"},
      // The fill is a whole character.
      {"LEFT|" + dot + "|6|abc", dot + dot + dot + "abc",
       "\xC2\xC2\xC2"
       "abc"},
      {"CENTER|" + dot + "|7|" + zh, dot + dot + zh + dot + dot + dot,
       "\xC2\xC2" + zh + "\xC2\xC2"},
      {"RIGHT|" + dot + "|3|" + zh + wen, zh + dot, zh},
      {"LEFT|" + dot + "|3|" + zh + wen, dot + wen, wen},
  };
  const bool utf8 = text::kNativeText.encoding == text::Encoding::Utf8;
  for (const auto& c : cases)
    EXPECT_EQ(Call(PadText, c.argument), utf8 ? c.utf8 : c.cp866) << c.argument;
  // 255 fills of two bytes are cut to the 127 that fit whole.
  std::string dots;
  for (int i = 0; i < 127; ++i) dots += dot;
  EXPECT_EQ(Call(PadText, "RIGHT|" + dot + "|255|"), utf8 ? dots : std::string(255, '\xC2'));
}

TEST(PadText, WidthRules) {
  // The cut sees the whole width, the padding only its low 8 bits.
  EXPECT_EQ(Call(PadText, "LEFT|.|300|ab"), std::string(42, '.') + "ab");
  EXPECT_EQ(Call(PadText, "RIGHT|.|256|ab"), "ab");
  EXPECT_EQ(Call(PadText, "CENTER|.|259|ab"), "ab.");
  EXPECT_EQ(Call(PadText, "MIDDLE|.|-3|ab"), std::string(125, '.') + "ab" + std::string(126, '.'));
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
  for (const auto& c : cases) EXPECT_EQ(Call(GroupDigits, c.argument), c.result) << c.argument;
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
  for (const auto& c : cases) EXPECT_EQ(Call(ScaleSize, c.argument), c.result) << c.argument;
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
  for (const auto& c : cases) EXPECT_EQ(Call(ScaleSize, c.argument), c.result) << c.argument;
}

TEST(ScaleSize, StopsAtGigabytes) {
  // Values of 1 GiB and more reach "Gb" with a non-zero value; the unit
  // table ends there, so that result is final whatever its length.
  struct Case {
    std::string argument;
    std::string result;
  };
  const Case cases[] = {
      {"1|1073741824", "1Gb"},  {"5|1073741824", "1024Mb"}, {"20|1073741824", "1Gb"},
      {"3|1073741824", "1Gb"},  {"1|2147483647", "1Gb"},    {"5|2147483647", "2047Mb"},
      {"30|2147483647", "1Gb"}, {"1|-2147483647", "-1Gb"},  {"5|-1073741824", "-1Gb"},
      {"1|$80000000", "2Gb"},
  };
  for (const auto& c : cases) EXPECT_EQ(Call(ScaleSize, c.argument), c.result) << c.argument;
}

}  // namespace
}  // namespace kelmora::templating
