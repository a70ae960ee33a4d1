#include "store/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/temp_dir.h"

namespace kelmora::store {
namespace {

// Reads the way the names file does: a line first, then the end test.
// Without `lone_line_feed_ends_line`, CR alone ends lines.
std::vector<std::string> ReadAllLines(const std::string& path,
                                      bool lone_line_feed_ends_line = false) {
  TextFileReader reader(SystemFileOps(), lone_line_feed_ends_line);
  EXPECT_EQ(reader.Open(path), 0u);
  std::vector<std::string> lines;
  do {
    text::ShortString line;
    EXPECT_EQ(reader.ReadLine(&line), 0u);
    lines.push_back(line.str());
  } while (!reader.AtEnd() && lines.size() < 100000);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TextFileReader, SplitsLinesAtCarriageReturns) {
  std::string a300(300, 'a');
  struct Case {
    std::string name, bytes;
    Lines lines;
  } cases[] = {
      {"empty", "", {""}},
      {"crlf", "one\r\ntwo\r\n", {"one", "two"}},
      {"cr_alone", "one\rtwo\r", {"one", "two"}},
      {"no_line_end", "one\r\ntwo", {"one", "two"}},
      {"lf_alone", "one\ntwo\n", {"one\ntwo\n"}},
      {"lf_lf", "one\r\n\ntwo", {"one", "\ntwo"}},
      {"cr_cr", "one\r\rtwo", {"one", "", "two"}},
      {"blank_lines", "\r\n\r\nx", {"", "", "x"}},
      {"long", a300 + "\r\nnext\r\n", {std::string(255, 'a'), "next"}},
      {"long_cr_after_255", std::string(255, 'b') + "\rc", {std::string(255, 'b'), "c"}},
      {"ctrl_z", "one\r\ntw\x1Ao\r\nthree", {"one", "tw"}},
      {"ctrl_z_at_start",
       "\x1A"
       "abc",
       {""}},
      {"ctrl_z_after_line", "one\r\n\x1A\r\ntwo", {"one"}},
      {"bytes_kept", std::string("\t \xE0\xFE\0z\r\n", 8), {std::string("\t \xE0\xFE\0z", 6)}},
  };
  text::TempDir dir;
  for (const Case& c : cases)
    EXPECT_EQ(ReadAllLines(dir.Write(c.name, c.bytes)), c.lines) << c.name;
}

TEST(TextFileReader, LoneLineFeedsEndLinesWhereTheRuleSaysSo) {
  struct Case {
    std::string name, bytes;
    Lines lines;
  } cases[] = {
      {"lf_alone", "one\ntwo\n", {"one", "two"}},
      {"lf_lf", "one\r\n\ntwo", {"one", "", "two"}},
      {"lf_cr", "one\n\rtwo", {"one", "", "two"}},
      {"mixed", "a 1\r\nb 2\nc 3\rd 4", {"a 1", "b 2", "c 3", "d 4"}},
      {"long", std::string(300, 'a') + "\nnext", {std::string(255, 'a'), "next"}},
      {"ctrl_z", "one\ntw\x1Ao\nthree", {"one", "tw"}},
  };
  text::TempDir dir;
  for (const Case& c : cases)
    EXPECT_EQ(ReadAllLines(dir.Write(c.name, c.bytes), true), c.lines) << c.name;
}

#ifndef _WIN32
TEST(TextFileReader, LongLinesAreCutBetweenCharacters) {
  const std::string zhe = "\xD0\xB6", ka = "\xE0\xA4\x95", smile = "\xF0\x9F\x98\x80";
  struct Case {
    std::string line, kept;
  } cases[] = {
      {std::string(253, 'a') + zhe + "tail", std::string(253, 'a') + zhe},
      {std::string(254, 'a') + zhe + "tail", std::string(254, 'a')},
      {std::string(253, 'a') + ka + "tail", std::string(253, 'a')},
      {std::string(252, 'a') + smile + "tail", std::string(252, 'a')},
      {std::string(254, 'a') + "\xD0\xD0tail", std::string(254, 'a') + "\xD0"},
  };
  text::TempDir dir;
  for (const Case& c : cases)
    EXPECT_EQ(ReadAllLines(dir.Write("utf8", c.line + "\r\nnext"), true), Lines({c.kept, "next"}));
}
#endif

TEST(TextFileReader, EmptyFileIsAtTheEndAtOnce) {
  text::TempDir dir;
  TextFileReader reader;
  ASSERT_EQ(reader.Open(dir.Write("empty", "")), 0u);
  EXPECT_TRUE(reader.AtEnd());
  text::ShortString line("stale");
  EXPECT_EQ(reader.ReadLine(&line), 0u);
  EXPECT_TRUE(line.empty());
}

TEST(TextFileReader, EndTestSeesCtrlZWithoutConsumingIt) {
  text::TempDir dir;
  TextFileReader reader;
  ASSERT_EQ(reader.Open(dir.Write("z", "a\r\n\x1A")), 0u);
  EXPECT_FALSE(reader.AtEnd());
  text::ShortString line;
  reader.ReadLine(&line);
  EXPECT_EQ(line.str(), "a");
  EXPECT_TRUE(reader.AtEnd());
  reader.ReadLine(&line);
  EXPECT_TRUE(line.empty());
  EXPECT_TRUE(reader.AtEnd());
}

// Line ends, long lines and Ctrl+Z that straddle the reader's 4 KiB buffer.
TEST(TextFileReader, LinesAcrossBufferBoundaries) {
  std::string bytes;
  Lines expected;
  for (int i = 0; bytes.size() < 20000; ++i) {
    std::string line(static_cast<std::size_t>(i * 37 % 400), static_cast<char>('a' + i % 26));
    bytes += line + (i % 3 == 0 ? "\r" : "\r\n");
    expected.push_back(line.substr(0, 255));
  }
  bytes += "last";
  expected.push_back("last");
  text::TempDir dir;
  EXPECT_EQ(ReadAllLines(dir.Write("big", bytes)), expected);

  // CR as the last byte of one buffer load, LF as the first of the next.
  std::string split = std::string(4095, '\r') + "\nx";
  Lines split_lines(4095, "");
  split_lines.push_back("x");
  EXPECT_EQ(ReadAllLines(dir.Write("split", split)), split_lines);
}

TEST(TextFileReader, OpenFailureIsReportedAndReadsNothing) {
  text::TempDir dir;
  TextFileReader reader;
  platform::ErrorCode error = reader.Open(dir.Path("missing"));
  EXPECT_NE(error, 0u);
  EXPECT_EQ(reader.error(), error);
  EXPECT_TRUE(reader.AtEnd());
  text::ShortString line("stale");
  EXPECT_EQ(reader.ReadLine(&line), error);
  EXPECT_TRUE(line.empty());
}

TEST(TextFileReader, DirectoryCannotBeRead) {
  text::TempDir dir;
  TextFileReader reader;
  platform::ErrorCode error = reader.Open(dir.Path(""));
  if (error == 0) {
    // Where a directory opens, the first read fails instead.
    EXPECT_TRUE(reader.AtEnd());
    error = reader.error();
  }
  EXPECT_NE(error, 0u);
}

TEST(TextFileReader, ReopeningClearsTheFailure) {
  text::TempDir dir;
  TextFileReader reader;
  EXPECT_NE(reader.Open(dir.Path("missing")), 0u);
  ASSERT_EQ(reader.Open(dir.Write("present", "x\r\n")), 0u);
  EXPECT_EQ(reader.error(), 0u);
  text::ShortString line;
  reader.ReadLine(&line);
  EXPECT_EQ(line.str(), "x");
}

TEST(TextFileReader, NothingOpenIsAtTheEnd) {
  TextFileReader reader;
  EXPECT_TRUE(reader.AtEnd());
  text::ShortString line("stale");
  EXPECT_EQ(reader.ReadLine(&line), 0u);
  EXPECT_TRUE(line.empty());
}

}  // namespace
}  // namespace kelmora::store
