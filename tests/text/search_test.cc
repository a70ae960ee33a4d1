#include "text/search.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora::text {
namespace {

const CharSet kHexLead("$0HXhx");
const CharSet kHexTrail("$HXhx");
const CharSet kQuote("\"");

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
      {&kHexTrail, "0CH", "0C"},  {&kHexTrail, "0Ch$", "0C"},
      {&kHexTrail, "0C0", "0C0"},  // 0 is not trailing decoration
      {&kBlanks, "  a  ", "  a"}, {&kBlanks, std::string(255, '\t'), ""},
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
