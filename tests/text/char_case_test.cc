#include "text/char_case.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora::text {
namespace {

unsigned char Up(unsigned byte) {
  return static_cast<unsigned char>(UpCase866(static_cast<char>(byte)));
}

TEST(UpCase866, MapsEveryByteByTheCodePageTable) {
  // Every one of the 256 bytes, against the ranges of code page 866.
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned expected = byte;
    if (byte >= 0x61 && byte <= 0x7A) expected = byte - 0x20;       // a-z
    else if (byte >= 0xA0 && byte <= 0xAF) expected = byte - 0x20;  // а-п
    else if (byte >= 0xE0 && byte <= 0xEF) expected = byte - 0x50;  // р-я
    else if (byte == 0xF1) expected = 0xF0;                         // ё
    EXPECT_EQ(Up(byte), expected) << std::hex << byte;
  }
}

TEST(UpCase866, EdgesOfTheRanges) {
  struct Case {
    unsigned in, out;
  } cases[] = {
      {'a', 'A'}, {'z', 'Z'}, {'A', 'A'}, {'`', '`'}, {'{', '{'},
      {0xA0, 0x80}, {0xAF, 0x8F}, {0xB0, 0xB0}, {0x9F, 0x9F},
      {0xDF, 0xDF}, {0xE0, 0x90}, {0xEF, 0x9F}, {0xF0, 0xF0},
      {0xF1, 0xF0}, {0xF2, 0xF2}, {0x80, 0x80}, {0x00, 0x00},
  };
  for (const Case& c : cases) EXPECT_EQ(Up(c.in), c.out) << std::hex << c.in;
}

TEST(UpperStr866, UpperCasesEveryCharacter) {
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
  for (const Case& c : cases) EXPECT_EQ(UpperStr866(c.in).str(), c.out) << c.in;
}

TEST(UpperStr866, ReachesThe255thCharacter) {
  ShortString full(std::string(255, 'q'));
  ShortString upper = UpperStr866(full);
  EXPECT_EQ(upper.str(), std::string(255, 'Q'));
  LongLine line(std::string(1024, '\xE5'));
  EXPECT_EQ(UpperStr866(line).str(), std::string(1024, '\x95'));
}

TEST(UpperBuffer866, FoldsInPlace) {
  std::string buffer = "abc\xA0\xF1z";
  UpperBuffer866(buffer.data(), buffer.size() - 1);
  EXPECT_EQ(buffer, "ABC\x80\xF0z");
}

}  // namespace
}  // namespace kelmora::text
