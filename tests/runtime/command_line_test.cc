#include "runtime/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelmora::runtime {
namespace {

std::vector<std::string> Words(std::string_view line) { return SplitCommandLine(line); }

using List = std::vector<std::string>;

TEST(SplitCommandLine, SplitsQuotesAndSeparators) {
  struct Case {
    std::string line;
    List words;
  } cases[] = {
      {"kelmora.exe \"my file.tpl\"", {"kelmora.exe", "my file.tpl"}},
      {"kelmora.exe a\"b c\"d", {"kelmora.exe", "ab cd"}},
      {"kelmora.exe a b", {"kelmora.exe", "a", "b"}},
      {"kelmora.exe \"\"abc", {"kelmora.exe", "abc"}},
      {"kelmora.exe \"\"", {"kelmora.exe"}},
      {"kelmora.exe \"\" \"\" x", {"kelmora.exe", "x"}},
      {"kelmora.exe a\"\"b", {"kelmora.exe", "ab"}},
      {"kelmora.exe \"unclosed stretch", {"kelmora.exe", "unclosed stretch"}},
      {"kelmora.exe \"\"\"x y\"", {"kelmora.exe", "x y"}},
      {"\"C:\\Program Files\\kelmora.exe\" in.txt", {"C:\\Program Files\\kelmora.exe", "in.txt"}},
      {"  kelmora.exe\t\ta\x01"
       "b\x1F"
       "c\x20",
       {"kelmora.exe", "a", "b", "c"}},
      {"kelmora.exe \"a\tb\"", {"kelmora.exe", "a\tb"}},
      {"kelmora.exe \xE0\xFE", {"kelmora.exe", "\xE0\xFE"}},
      {std::string("kelmora.exe a\0b c", 17), {"kelmora.exe", "a"}},
      {"", {}},
      {"   ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Words(c.line), c.words) << c.line;
}

TEST(SplitCommandLine, KeepsLongWordsWhole) {
  std::string word(300, 'w');
  List words = Words(std::string("kelmora.exe ") + word + " next");
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[1], word);
  EXPECT_EQ(words[2], "next");

  std::string spaced = std::string(200, 'q') + " " + std::string(100, 'r');
  words = Words("kelmora.exe \"" + spaced + "\"");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[1], spaced);
}

TEST(CommandArguments, WordZeroIsTheExecutablePath) {
  std::vector<std::string> arguments = CommandArguments();
  ASSERT_FALSE(arguments.empty());
  // The test program's own file, whatever directory it was started from.
  EXPECT_NE(arguments[0].find("runtime_tests"), std::string::npos) << arguments[0];
}

}  // namespace
}  // namespace kelmora::runtime
