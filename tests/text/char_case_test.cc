#include "text/char_case.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace kelmora::text {
namespace {

unsigned char Up(unsigned byte) {
  return static_cast<unsigned char>(UpCase866(static_cast<char>(byte)));
}

TEST(UpCase866, EdgesOfTheRanges) {
  struct Case {
    unsigned in, out;
  } cases[] = {
      {'a', 'A'},   {'z', 'Z'},   {'A', 'A'},   {'`', '`'},   {'{', '{'},   {0xA0, 0x80},
      {0xAF, 0x8F}, {0xB0, 0xB0}, {0x9F, 0x9F}, {0xDF, 0xDF}, {0xE0, 0x90}, {0xEF, 0x9F},
      {0xF0, 0xF0}, {0xF1, 0xF0}, {0xF2, 0xF2}, {0x80, 0x80}, {0x00, 0x00}, {0x7F, 0x7F},
      {0xFF, 0xFF}, {0xB1, 0xB1}, {0x60, 0x60}, {0x7B, 0x7B},
  };
  for (const Case& c : cases) EXPECT_EQ(Up(c.in), c.out) << std::hex << c.in;
}

TEST(UpperCaseKeyword, UpperCasesEveryCharacter) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"yes", "YES"},
      {"MiXeD 123 !?", "MIXED 123 !?"},
      // "привет" in code page 866 becomes "ПРИВЕТ".
      {"\xAF\xE0\xA8\xA2\xA5\xE2", "\x8F\x90\x88\x82\x85\x92"},
      {"\xF1\xF0", "\xF0\xF0"},
      {"\x80\x8F\x90\x9F\xB0\xDB", "\x80\x8F\x90\x9F\xB0\xDB"},
  };
  for (const Case& c : cases) EXPECT_EQ(UpperCaseKeyword(c.in).str(), c.out) << c.in;
}

TEST(UpperCaseKeyword, ReachesThe255thCharacter) {
  ShortString full(std::string(255, 'q'));
  ShortString upper = UpperCaseKeyword(full);
  EXPECT_EQ(upper.str(), std::string(255, 'Q'));
}

TEST(UpperBuffer866, FoldsInPlace) {
  std::string buffer = "abc\xA0\xF1z";
  UpperBuffer866(buffer.data(), buffer.size() - 1);
  EXPECT_EQ(buffer, "ABC\x80\xF0z");
}

TEST(FoldForSearch, KeepsTheLengthAndFoldsBothSidesAlike) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"yes, No 123", "YES, NO 123"},
#ifdef _WIN32
      // Code page 866: "привет" and ё.
      {"\xAF\xE0\xA8\xA2\xA5\xE2 \xF1", "\x8F\x90\x88\x82\x85\x92 \xF0"},
      {"\xC3\xA9", "\xC3\x89"},  // bytes of UTF-8 é, upper-cased one by one
#else
      // Latin-1 Supplement: é à ÿ (Ÿ lies in Latin Extended-A).
      {"\xC3\xA9\xC3\xA0\xC3\xBF", "\xC3\x89\xC3\x80\xC5\xB8"},
      // Latin Extended-A: ő ł.
      {"\xC5\x91\xC5\x82", "\xC5\x90\xC5\x81"},
      // Greek: α β, final ς and σ alike, ά.
      {"\xCE\xB1\xCE\xB2\xCF\x82\xCF\x83\xCE\xAC", "\xCE\x91\xCE\x92\xCE\xA3\xCE\xA3\xCE\x86"},
      // Cyrillic: привет, ё.
      {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD1\x91",
       "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2 \xD0\x81"},
      // Capitals, digits and Devanagari KA stay.
      {"\xD0\x81\xC3\x89 9 \xE0\xA4\x95", "\xD0\x81\xC3\x89 9 \xE0\xA4\x95"},
      // Capitals of another length stay lower: dotless ı (I), long ſ (S),
      // ɐ (a three-byte capital).
      {"\xC4\xB1\xC5\xBF\xC9\x90", "\xC4\xB1\xC5\xBF\xC9\x90"},
      // Invalid bytes stay, and the text around them folds.
      {"a\x80z\xFF"
       "b",
       "A\x80Z\xFF"
       "B"},
      {"\xE0\xD1\x91", "\xE0\xD0\x81"},                  // a lead byte without its sequence
      {"\xD1", "\xD1"},                                  // cut short at the end
      {"\xC1\xA1\xED\xA0\x80", "\xC1\xA1\xED\xA0\x80"},  // overlong, surrogate
      {"\xD1\x91\x91", "\xD0\x81\x91"},                  // one continuation byte too many
#endif
  };
  for (const Case& c : cases) {
    std::string folded = c.in;
    FoldForSearch(folded.data(), folded.size());
    EXPECT_EQ(folded, c.out) << c.in;
    EXPECT_EQ(FoldedForSearch(c.in).str(), c.out) << c.in;
  }
}

#ifndef _WIN32
std::string As(std::size_t count) { return std::string(count, 'a'); }

const std::string kZhe = "\xD0\xB6";           // two bytes
const std::string kKa = "\xE0\xA4\x95";        // three bytes
const std::string kGrin = "\xF0\x9F\x98\x80";  // four bytes

TEST(WholeCharPrefix, EndsAtTheLastCharacterBoundaryWithinTheLimit) {
  struct Case {
    std::string text;
    std::size_t limit, prefix;
  } cases[] = {
      {"", 0, 0},
      {"abc", 255, 3},
      {kZhe, 1, 0},
      {kZhe + kZhe, 3, 2},
      {As(253) + kZhe + "x", 255, 255},
      {As(254) + kZhe + "x", 255, 254},
      {As(252) + kKa + "x", 255, 255},
      {As(253) + kKa + "x", 255, 253},
      {As(254) + kKa, 255, 254},
      {As(251) + kGrin + "x", 255, 255},
      {As(252) + kGrin, 255, 252},
      {As(254) + kGrin, 255, 254},
      {As(1023) + kZhe, 1024, 1023},
      {As(1022) + kKa, 1024, 1022},
      {As(1021) + kGrin + "x", 1024, 1021},
      {As(1020) + kGrin + "x", 1024, 1024},
      // Invalid sequences at the limit: each of their bytes stands alone.
      {As(254) + "\x80\x80", 255, 255},
      {As(251) + "\x80\x80\x80\x80\x80", 255, 255},
      {As(254) + "\xD0\xD0", 255, 255},
      {As(253) + "\xE0\xA4"
                 "x",
       255, 255},
      {As(254) + "\xC0\xAF", 255, 255},
      {As(253) + "\xED\xA0\x80", 255, 255},
      {As(254) + "\xF8\x88\x80", 255, 255},
      {As(1022) + "\xF0\x9F\x98"
                  "x",
       1024, 1024},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WholeCharPrefix(c.text, c.limit), c.prefix) << c.text.size() << " " << c.limit;
}

TEST(WholeCharPrefix, SplittingLosesNoByteAndAlwaysMovesOn) {
  // Valid characters of every length mixed with stray and truncated bytes.
  const std::string pieces[] = {"a", kZhe, kKa, kGrin, "\x80", "\xE0\xA4", "\xF0\x9F", "\xFF"};
  std::mt19937 random(9);
  std::string text;
  while (text.size() < 5000) text += pieces[random() % std::size(pieces)];
  for (std::size_t limit : {4u, 5u, 255u, 1024u}) {
    std::string joined;
    for (std::string_view rest = text; !rest.empty();) {
      std::size_t cut = WholeCharPrefix(rest, limit);
      ASSERT_GT(cut, 0u);
      ASSERT_LE(cut, limit);
      if (cut < rest.size()) {
        ASSERT_GE(cut + 3, limit);  // a character straddles the limit
      }
      joined += rest.substr(0, cut);
      rest.remove_prefix(cut);
    }
    EXPECT_EQ(joined, text) << limit;
  }
}
#endif

}  // namespace
}  // namespace kelmora::text
