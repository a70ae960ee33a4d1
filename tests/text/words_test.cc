#include "text/words.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora::text {
namespace {

TEST(WordPosition, CountsRunsBetweenDelimiters) {
  const CharSet bar("|");
  const CharSet blanks(" /:");
  struct Case {
    int n;
    std::string text;
    const CharSet* delimiters;
    std::size_t position;
    std::string word;
  };
  const Case cases[] = {
      {1, "RIGHT|.|8|abc", &bar, 1, "RIGHT"},
      {2, "RIGHT|.|8|abc", &bar, 7, "."},
      {4, "RIGHT|.|8|abc", &bar, 11, "abc"},
      {5, "RIGHT|.|8|abc", &bar, 0, ""},
      {2, "RIGHT||.|5|ab", &bar, 8, "."},
      {1, "||x", &bar, 3, "x"},
      {2, "x||", &bar, 0, ""},
      {1, "", &bar, 0, ""},
      {1, "|||", &bar, 0, ""},
      {0, "abc", &bar, 0, ""},
      {-1, "abc", &bar, 0, ""},
      {2, "LEFT| |10|x", &bar, 6, " "},
      {3, "15/03/1980 12:30:00", &blanks, 7, "1980"},
      {6, "15/03/1980 12:30:00", &blanks, 18, "00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WordPosition(c.n, c.text, *c.delimiters), c.position) << c.n << " of " << c.text;
    EXPECT_EQ(ExtractWord(c.n, c.text, *c.delimiters).str(), c.word) << c.n << " of " << c.text;
  }
}

}  // namespace
}  // namespace kelmora::text
