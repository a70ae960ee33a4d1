#include "app/song_title.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  for (const auto& c : cases) EXPECT_EQ(CleanCaption(c.caption).str(), c.title) << c.caption;
}

TEST(SongText, ArtistsTitleAndTheBytesBetween) {
  struct Case {
    std::vector<std::string> artists;
    std::string title;
    std::string text;
  };
  const Case cases[] = {
      {{}, "Song", "Song"},
      {{"A", "B", "C"}, "Song", "A, B, C - Song"},
      // Every control character becomes a space, NUL, DEL and the C1
      // controls U+0085 and U+009B too; U+00A0 is no control.
      {{std::string("A\0B", 3)}, "\x01\x1F\x7F", "A B -    "},
      {{},
       "a\xC2\x85"
       "b\xC2\x9B"
       "c\xC2\xA0",
       "a b c\xC2\xA0"},
      {{}, "\xC2\x80\xC2\x9F\xC2", "  \xC2"},
      // Bytes that are no UTF-8 are kept as they came.
      {{"\xFF"}, "\xD0", "\xFF - \xD0"},
  };
  for (const auto& c : cases) EXPECT_EQ(SongText({c.artists, c.title}), c.text) << c.title;
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
  EXPECT_EQ(SongValue("",
                      "\x8D"
                      "o song",
                      "", "")
                .str(),
            "Ho song");
}
#else
TEST(SongValue, Utf8IsKeptAndCutBetweenCharacters) {
  const std::string ka = "\xE0\xA4\x95";  // Devanagari KA: 0xE0 leads it
  EXPECT_EQ(SongValue("It\xC3\x8D"
                      "alo",
                      "", ka, ka)
                .str(),
            ka +
                "It\xC3\x8D"
                "alo" +
                ka);
  // 253 bytes of prefix and title: the suffix's first character needs 3.
  std::string title(250, 't');
  EXPECT_EQ(SongValue(title, "", "pre", ka + "x").str(), "pre" + title);
  EXPECT_EQ(SongValue(title, "", "pr", ka + "x").str(), "pr" + title + ka);
}
#endif

}  // namespace
}  // namespace kelmora::app
