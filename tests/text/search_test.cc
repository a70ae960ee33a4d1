#include "text/search.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora::text {
namespace {

const CharSet kHexLead("$0HXhx");
const CharSet kHexTrail("$HXhx");
const CharSet kQuote("\"");

TEST(FindInBuffer, FindsTheLeftmostExactMatch) {
  struct Case {
    std::string buffer, pattern;
    std::int32_t expected;
  } cases[] = {
      {"xxAB", "AB", 2},
      {"ABA", "A", 0},
      {"abc", "", -1},
      {"", "", -1},
      {"ab", "abc", -1},
      {"abc", "abc", 0},
      {"abcab", "ab", 0},
      {"xxab", "AB", -1},  // no case folding
      {"aaab", "aab", 1},
      {"abcabd", "abd", 3},
      {std::string("a\0b\0c", 5), std::string("b\0c", 3), 2},
      {"\xE0\xE1\xE2", "\xE2", 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindInBuffer(c.buffer, c.pattern), c.expected)
        << c.pattern << " in " << c.buffer;
}

TEST(TrimSet, RemovesFromBothEndsOnly) {
  struct Case {
    const CharSet* set;
    std::string in, out;
  } cases[] = {
      {&kBlanks, "  a b  ", "a b"},
      {&kBlanks, "\t \t  \t", ""},
      {&kBlanks, "", ""},
      {&kBlanks, "\ta\t", "a"},
      {&kBlanks, "a", "a"},
      {&kBlanks, "\r a \n", "\r a \n"},  // only tab and space
      {&kQuote, "\"value\"", "value"},
      {&kQuote, "\"\"\"", ""},
      {&kHexLead, "0x0C", "C"},
  };
  for (const Case& c : cases) EXPECT_EQ(TrimSet(*c.set, ShortString(c.in)).str(), c.out) << c.in;
}

TEST(TrimLeftSet, StopsAtTheFirstCharacterOutsideTheSet) {
  struct Case {
    const CharSet* set;
    std::string in, out;
  } cases[] = {
      {&kHexLead, "0x0C", "C"},
      {&kHexLead, "000", ""},
      {&kHexLead, "$1F", "1F"},
      {&kHexLead, "h0a0", "a0"},
      {&kHexLead, "0C0", "C0"},
      {&kBlanks, "  a  ", "a  "},
      {&kBlanks, std::string(255, ' '), ""},
      {&kBlanks, std::string(254, ' ') + "z", "z"},
      {&kBlanks, "", ""},
  };
  for (const Case& c : cases) {
    ShortString s(c.in);
    TrimLeftSet(s, *c.set);
    EXPECT_EQ(s.str(), c.out) << c.in;
  }
}

TEST(TrimRightSet, StopsAtTheLastCharacterOutsideTheSet) {
  struct Case {
    const CharSet* set;
    std::string in, out;
  } cases[] = {
      {&kHexTrail, "0CH", "0C"},
      {&kHexTrail, "0Ch$", "0C"},
      {&kHexTrail, "0C0", "0C0"},  // 0 is not trailing decoration
      {&kBlanks, "  a  ", "  a"},
      {&kBlanks, std::string(255, '\t'), ""},
      {&kBlanks, "", ""},
  };
  for (const Case& c : cases) {
    ShortString s(c.in);
    TrimRightSet(s, *c.set);
    EXPECT_EQ(s.str(), c.out) << c.in;
  }
}

TEST(CharSet, HoldsBytesAbove127) {
  CharSet set("\xFE\x80");
  EXPECT_TRUE(set.Contains('\xFE'));
  EXPECT_TRUE(set.Contains('\x80'));
  EXPECT_FALSE(set.Contains('\x7F'));
  EXPECT_FALSE(set.Contains('\0'));
}

}  // namespace
}  // namespace kelmora::text
