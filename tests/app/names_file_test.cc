#include "app/names_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/file_names.h"
#include "console/recording_sink.h"
#include "text/temp_dir.h"

namespace kelmora::app {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Plain(const std::vector<NamePair>& pairs) {
  Pairs plain;
  for (const NamePair& pair : pairs) plain.emplace_back(pair.token, pair.replacement);
  return plain;
}

TEST(NamesLinePair, FirstTwoWords) {
  struct Case {
    std::string line;
    Pairs pair;  // none or one
  };
  const Case cases[] = {
      {"alpha beta", {{"alpha", "beta"}}},
      {"\t alpha \t\t beta  ", {{"alpha", "beta"}}},
      {"one", {{"one", ""}}},
      {"a b c", {{"a", "b"}}},
      {"", {}},
      {" \t ", {}},
      {"; not a comment", {{";", "not"}}},
      {"a\nb c", {{"a\nb", "c"}}},  // LF is no delimiter
#ifdef _WIN32
      // The look-alike Cyrillic letters of code page 866 become Latin.
      {"\x8D"
       "ame \xE0"
       "ort\xE0",
       {{"Hame", "portp"}}},
#else
      // In UTF-8 the same bytes are parts of other characters, kept as they are.
      {"It\xC3\x8D"
       "alo \xE0\xA4\x95",
       {{"It\xC3\x8D"
         "alo",
         "\xE0\xA4\x95"}}},
#endif
  };
  for (const Case& c : cases) {
    std::optional<NamePair> pair = NamesLinePair(c.line);
    EXPECT_EQ(pair ? Plain({*pair}) : Pairs{}, c.pair) << c.line;
  }
}

TEST(ReadNamesFile, TextFileLines) {
  text::TempDir dir;
  struct Case {
    std::string bytes;
    Pairs pairs;
  };
  const Case cases[] = {
      {"", {}},
      {"a 1\r\nb 2\r\n\r\n  \r\nc\r\n", {{"a", "1"}, {"b", "2"}, {"c", ""}}},
      {"a 1\rb 2", {{"a", "1"}, {"b", "2"}}},
#ifdef _WIN32
      {"a 1\nb 2\n", {{"a", "1\nb"}}},  // LF alone ends no line
#else
      {"a 1\nb 2\r\nc 3\n", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
#endif
      {"a 1\r\n\x1A"
       "b 2\r\n",
       {{"a", "1"}}},
      {"x y\x1A", {{"x", "y"}}},
      {"a " + std::string(300, 'v') + "\r\nb 2", {{"a", std::string(253, 'v')}, {"b", "2"}}},
      {"a 1\r\na 2", {{"a", "1"}, {"a", "2"}}},  // both kept; the table takes the later
  };
  for (const Case& c : cases) {
    std::vector<NamePair> pairs;
    EXPECT_EQ(ReadNamesFile(dir.Write("names.lst", c.bytes), &pairs), 0u) << c.bytes;
    EXPECT_EQ(Plain(pairs), c.pairs) << c.bytes;
  }
}

TEST(ReadNamesFile, MissingFileGivesItsErrorAndNoPairs) {
  text::TempDir dir;
  std::vector<NamePair> pairs = {NamePair{"stale", ""}};
  EXPECT_NE(ReadNamesFile(dir.Path("missing.lst"), &pairs), 0u);
  EXPECT_TRUE(pairs.empty());
}

std::string Printed(const console::RecordingSink& sink) {
  std::string text;
  for (const console::Run& run : sink.runs()) text += run.text;
  return text;
}

TEST(LoadNamesFile, AddsPairsLetterCaseIgnoredLaterLineWinning) {
  text::TempDir dir;
  Settings settings;
  settings.change_names = true;
  settings.names_file = dir.Write("names.lst", "Cat dog\r\nCAT wolf\r\nsun moon\r\n");
  config::ReplaceTable table;
  table.SetApplyFunctions(false);
  console::RecordingSink sink;
  LoadNamesFile(settings, table);
  EXPECT_EQ(Printed(sink), "");
  text::ShortString line = "cat, sun, Sunny";
  table.Apply(line);
  EXPECT_EQ(line.str(), "wolf, moon, moonny");
}

TEST(LoadNamesFile, OffMeansTheFileIsNotLookedAt) {
  text::TempDir dir;
  for (std::string names_file :
       {std::string("no such file.lst"), dir.Write("names.lst", "cat dog\r\n")}) {
    Settings settings;
    settings.names_file = names_file;
    config::ReplaceTable table;
    console::RecordingSink sink;
    LoadNamesFile(settings, table);
    EXPECT_EQ(Printed(sink), "");
    text::ShortString line = "cat";
    table.Apply(line);
    EXPECT_EQ(line.str(), "cat") << names_file;
  }
}

TEST(LoadNamesFile, MissingFileOrDirectoryIsOneLine) {
  text::TempDir dir;
  dir.Write("sub/keep", "");
  struct Case {
    std::string names_file, shown;
  };
  const Case cases[] = {
      {"nothere~1.lst", "nothere~1.lst"}, {dir.Path("sub"), dir.Path("sub")}, {"", ""}};
  for (const Case& c : cases) {
    Settings settings;
    settings.change_names = true;
    settings.names_file = c.names_file;
    config::ReplaceTable table;
    console::RecordingSink sink;
    LoadNamesFile(settings, table);
    std::string expected = " ";
    expected.append(text::kNativeText.bullet).append(" [").append(c.shown);
    EXPECT_EQ(Printed(sink), expected + "] NOT found!\r\n") << c.names_file;
  }
}

TEST(MarkupName, EscapesAndShortensBetweenWholePieces) {
  struct Case {
    std::string name;
    std::size_t room;
    std::string shown;
  };
  const Case cases[] = {
      {"a~b", 10, "a~~b"},
      {"x\x1B]0;t\x07\x7F", 40, "x\\x1B]0;t\\x07\\x7F"},
      {"abcdefgh", 8, "abcdefgh"},
      {"abcdefghi", 8, "abcde..."},
      {"abcd~fgh", 8, "abcd..."},  // a doubled tilde is never split
      {"abc\x01"
       "defg",
       8, "abc..."},  // nor an escape
      {"abcdefgh", 2, ""},
#ifndef _WIN32
      {"ab\xD0\xB6\xD0\xB6xyz", 8, "ab\xD0\xB6..."},  // nor a character
      // C1 controls, as UTF-8 (CSI, OSC) or a lone byte, are escaped byte by
      // byte; a letter whose second byte lies in 0x80-0x9F (U+0440) is not.
      {"a\xC2\x9B"
       "b\xC2\x9D"
       "c\x9B\xD1\x80",
       40, "a\\xC2\\x9Bb\\xC2\\x9Dc\\x9B\xD1\x80"},
#else
      // In code page 866 those bytes are letters.
      {"a\xC2\x9B\x80", 40, "a\xC2\x9B\x80"},
#endif
  };
  for (const Case& c : cases) EXPECT_EQ(MarkupName(c.name, c.room), c.shown) << c.name;
}

}  // namespace
}  // namespace kelmora::app
