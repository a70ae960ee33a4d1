#include "text/bounded_string.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora::text {
namespace {

std::string Repeat(char c, std::size_t count) { return std::string(count, c); }

TEST(ShortString, AssignmentCutsToTheRoom) {
  struct Case {
    std::string source;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"abc", "abc"},
      {Repeat('a', 255), Repeat('a', 255)},
      {Repeat('a', 255) + "b", Repeat('a', 255)},
      {Repeat('x', 1000), Repeat('x', 255)},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    ShortString s;
    s = c.source;
    EXPECT_EQ(s.str(), c.expected) << c.source.size();
    EXPECT_EQ(ShortString(std::string_view(c.source)).str(), c.expected);
  }
}

TEST(ShortString, ZeroTerminatedTextStopsAtTheZero) {
  EXPECT_EQ(ShortString("ab\0cd").str(), "ab");
  std::string long_text = Repeat('z', 300);
  EXPECT_EQ(ShortString(long_text.c_str()).size(), 255u);
}

TEST(ShortString, ConcatenationKeepsTheFirst255) {
  struct Case {
    std::string a, b, expected;
  } cases[] = {
      {"ab", "cd", "abcd"},
      {"", "", ""},
      {Repeat('a', 200), Repeat('b', 200), Repeat('a', 200) + Repeat('b', 55)},
      {Repeat('a', 255), "b", Repeat('a', 255)},
      {Repeat('a', 254), "bc", Repeat('a', 254) + "b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ((ShortString(c.a) + ShortString(c.b)).str(), c.expected);
    EXPECT_EQ((ShortString(c.a) + std::string_view(c.b)).str(), c.expected);
    ShortString appended(c.a);
    appended += c.b;
    EXPECT_EQ(appended.str(), c.expected);
  }
  EXPECT_EQ((ShortString(Repeat('a', 255)) + 'b').size(), 255u);
}

#ifndef _WIN32
TEST(ShortString, CutsKeepUtf8CharactersWhole) {
  const std::string zhe = "\xD0\xB6", ka = "\xE0\xA4\x95";
  EXPECT_EQ(ShortString(Repeat('a', 254) + zhe).str(), Repeat('a', 254));
  EXPECT_EQ(ShortString(Repeat('a', 253) + zhe).str(), Repeat('a', 253) + zhe);
  EXPECT_EQ((ShortString(Repeat('a', 253)) + ka).str(), Repeat('a', 253));
  EXPECT_EQ((ShortString(Repeat('a', 252)) + ka + ka).str(), Repeat('a', 252) + ka);
  ShortString appended(Repeat('a', 254));
  appended += "\x80z";  // a stray byte stands alone and fits
  EXPECT_EQ(appended.str(), Repeat('a', 254) + "\x80");
}
#endif

TEST(ShortString, ComparesUnsignedBytesWithThePrefixSmaller) {
  struct Case {
    std::string a, b;
    int sign;  // of a compared with b
  } cases[] = {
      {"", "", 0},
      {"abc", "abc", 0},
      {"", "a", -1},
      {"ab", "abc", -1},
      {"abd", "abc", 1},
      {"\x7F", "\x80", -1},  // 0x80 is above 0x7F, not a negative char
      {"\xFF", "a", 1},
      {"a\xE0", "a\x20", 1},
      {std::string("a\0", 2), "a", 1},  // a zero byte is a character
  };
  for (const Case& c : cases) {
    ShortString a(c.a), b(c.b);
    auto order = a <=> b;
    int sign = order < 0 ? -1 : order > 0 ? 1 : 0;
    EXPECT_EQ(sign, c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(a == b, c.sign == 0);
  }
}

TEST(ShortString, EqualsLiteralsAndViews) {
  ShortString s("abc");
  EXPECT_TRUE(s == "abc");
  EXPECT_FALSE(s == "ab");
  EXPECT_TRUE(s == std::string_view("abc"));
  EXPECT_FALSE(s == std::string_view("abcd"));
}

TEST(ShortString, CopyClampsIndexAndCount) {
  struct Case {
    std::string s;
    long index, count;
    std::string expected;
  } cases[] = {
      {"abc", 0, 2, "ab"},  {"abc", -5, 1, "a"},
      {"abc", 1, 3, "abc"}, {"abc", 4, 1, ""},
      {"abc", 3, 1, "c"},   {"abc", 2, 100, "bc"},
      {"abc", 2, -1, ""},   {"abc", 2, 0, ""},
      {"", 1, 1, ""},       {Repeat('q', 255), 255, 5, "q"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Copy(ShortString(c.s), c.index, c.count).str(), c.expected)
        << c.s << " " << c.index << " " << c.count;
}

TEST(ShortString, PosFindsTheLeftmostFromOne) {
  struct Case {
    std::string sub, s;
    std::size_t expected;
  } cases[] = {
      {"b", "abc", 2}, {"abc", "abc", 1},  {"c", "abcabc", 3},
      {"", "abc", 0},  {"abcd", "abc", 0}, {"x", "abc", 0},
      {"", "", 0},     {"a", "", 0},       {"bc", "abcbc", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(Pos(c.sub, c.s), c.expected) << c.sub << " in " << c.s;
}

TEST(ShortString, DeleteRemovesWithinTheText) {
  struct Case {
    std::string s;
    long index, count;
    std::string expected;
  } cases[] = {
      {"abc", 2, 100, "a"}, {"abc", 5, 1, "abc"},  {"abc", 4, 1, "abc"},     {"abc", 3, 1, "ab"},
      {"abc", 1, 1, "bc"},  {"abc", 1, 3, ""},     {"abc", 0, 1, "abc"},     {"abc", -1, 2, "abc"},
      {"abc", 2, 0, "abc"}, {"abc", 2, -3, "abc"}, {"abcdef", 2, 2, "adef"}, {"", 1, 1, ""},
  };
  for (const Case& c : cases) {
    ShortString s(c.s);
    Delete(s, c.index, c.count);
    EXPECT_EQ(s.str(), c.expected) << c.s << " " << c.index << " " << c.count;
  }
}

}  // namespace
}  // namespace kelmora::text
