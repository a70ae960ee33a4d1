#include "app/song_title.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora::app {
namespace {

TEST(CleanCaption, CaptionsOfThePlayer) {
  struct Case {
    std::string caption;
    std::string title;
  };
  const Case cases[] = {
      {"Winamp 2.91", ""},
      {"Winamp", ""},
      {"12. Artist - Song - Winamp", "Artist - Song"},
      {"3. Song - Winamp", "Song"},
      {"3. Song", "Song"},
      {"3. A.B.C - Winamp", "A.B.C"},
      {"1.Song - Winamp", "ong"},
      {"Artist - Song", ""},
      {"WINAMP 5. Song - Winamp", "Song"},
      {"", ""},
      {"7.", ""},
      {"Winam. x", "x"},  // not "Winamp": the dot rule applies
  };
  for (const auto& c : cases)
    EXPECT_EQ(CleanCaption(c.caption).str(), c.title) << c.caption;
}

TEST(SongValue, FallbackOrFramedTitle) {
  EXPECT_EQ(SongValue("", "silence", "[", "]").str(), "silence");
  EXPECT_EQ(SongValue("Song", "silence", "now: ", " !").str(), "now: Song !");
  EXPECT_EQ(SongValue("Song", "", "", "").str(), "Song");
}

TEST(SongValue, CutAt255) {
  std::string title(200, 't');
  std::string prefix(100, 'p');
  auto value = SongValue(title, "", prefix, "suffix");
  EXPECT_EQ(value.size(), 255u);
  EXPECT_EQ(value.str(), (prefix + title).substr(0, 255));
}

#ifdef _WIN32
TEST(SongValue, LookalikesBecomeLatinInEveryPiece) {
  // 0x8D is the Cyrillic EN, 0xE0 the Cyrillic er of the OEM code page.
  EXPECT_EQ(SongValue("\x8D\xE0", "", "<\x8D", "\xE0>").str(), "<HHpp>");
  EXPECT_EQ(SongValue("", "\x8D" "o song", "", "").str(), "Ho song");
}
#else
TEST(SongValue, Utf8IsKeptAndCutBetweenCharacters) {
  const std::string ka = "\xE0\xA4\x95";  // Devanagari KA: 0xE0 leads it
  EXPECT_EQ(SongValue("It\xC3\x8D" "alo", "", ka, ka).str(), ka + "It\xC3\x8D" "alo" + ka);
  // 253 bytes of prefix and title: the suffix's first character needs 3.
  std::string title(250, 't');
  EXPECT_EQ(SongValue(title, "", "pre", ka + "x").str(), "pre" + title);
  EXPECT_EQ(SongValue(title, "", "pr", ka + "x").str(), "pr" + title + ka);
}
#endif

}  // namespace
}  // namespace kelmora::app
