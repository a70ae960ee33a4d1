#include "template/line_io.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/file_stream.h"
#include "store/memory_stream.h"
#include "text/temp_dir.h"

namespace kelmora::templating {
namespace {

using namespace std::string_literals;
using store::FileStream;
using store::MemoryStream;
using text::LongLine;

// Reads lines the way the template pass does: at least one, until the
// position reaches the size.
template <class Stream>
std::vector<std::string> ReadAllLines(Stream& stream) {
  std::vector<std::string> lines;
  LongLine line;
  do {
    ReadLongLine(stream, line);
    lines.push_back(line.str());
  } while (stream.Position() != stream.Size() && lines.size() < 100);
  return lines;
}

struct LineCase {
  std::string input;
  std::vector<std::string> lines;
};

std::vector<LineCase> LineCases() {
  const std::string k1024(1024, 'x');
  return {
      {"", {""}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\rb", {"a", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"a\0b\r\nc"s, {"a\0b"s, "c"}},
      {std::string(1500, 'x'), {k1024, std::string(476, 'x')}},
      {std::string(1500, 'x') + "\r\n", {k1024, std::string(476, 'x')}},
      {k1024, {k1024}},
      {k1024 + "\r\n", {k1024}},
      {k1024 + "\n\r" + "y", {k1024, "y"}},
      {k1024 + "\r\r", {k1024, ""}},
      {std::string(2048, 'x') + "\r\nz", {k1024, k1024, "z"}},
      {std::string(1025, 'x') + "\n", {k1024, "x"}},
  };
}

TEST(ReadLongLine, SplitsAtEveryKindOfLineEndFromMemory) {
  for (const LineCase& c : LineCases()) {
    SCOPED_TRACE(testing::PrintToString(c.input.substr(0, 20)) + " of " +
                 std::to_string(c.input.size()));
    MemoryStream stream;
    stream.Write(c.input.data(), c.input.size());
    stream.Seek(0);
    EXPECT_EQ(ReadAllLines(stream), c.lines);
    EXPECT_EQ(stream.status(), store::StreamStatus::Ok);
  }
}

TEST(ReadLongLine, SplitsAtEveryKindOfLineEndFromAFile) {
  for (const LineCase& c : LineCases()) {
    SCOPED_TRACE(testing::PrintToString(c.input.substr(0, 20)) + " of " +
                 std::to_string(c.input.size()));
    text::TempDir dir;
    FileStream stream(dir.Write("f", c.input), store::kOpenRead, 4096);
    EXPECT_EQ(ReadAllLines(stream), c.lines);
    EXPECT_EQ(stream.status(), store::StreamStatus::Ok);
  }
}

// The byte after a line end is given back across the file stream's buffer
// boundary (4096): the line end is the last byte of one buffer-full, or its
// second half the first byte of the next.
TEST(ReadLongLine, GivesBackTheByteAfterALineEndAcrossTheBuffer) {
  const std::string h(800, 'h');
  const std::string head = h + "\n" + h + "\n" + h + "\n" + h + "\n";  // 3204 bytes
  struct Case {
    std::string rest;
    std::vector<std::string> tail;
  };
  const Case cases[] = {
      {std::string(891, 'a') + "\rb", {std::string(891, 'a'), "b"}},
      {std::string(891, 'a') + "\r\nb", {std::string(891, 'a'), "b"}},
      {std::string(892, 'a') + "\r\nb", {std::string(892, 'a'), "b"}},
      {std::string(890, 'a') + "\r\nb", {std::string(890, 'a'), "b"}},
      {std::string(891, 'a') + "\n\nb", {std::string(891, 'a'), "", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rest.size());
    text::TempDir dir;
    FileStream stream(dir.Write("f", head + c.rest), store::kOpenRead, 4096);
    std::vector<std::string> expected = {h, h, h, h};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(ReadAllLines(stream), expected);
  }
}

TEST(ReadLongLine, AtTheEndLeavesTheStreamAtItsSizeWithStatusOk) {
  MemoryStream stream;
  stream.Write("ab", 2);
  stream.Seek(0);
  LongLine line;
  ReadLongLine(stream, line);
  EXPECT_EQ(line.str(), "ab");
  EXPECT_EQ(stream.status(), store::StreamStatus::Ok);
  EXPECT_EQ(stream.Position(), 2);
  ReadLongLine(stream, line);
  EXPECT_EQ(line.str(), "");
  EXPECT_EQ(stream.Position(), 2);
}

TEST(WriteLongLine, WritesEveryCharacterThenTheSuffix) {
  MemoryStream stream;
  WriteLongLine(stream, LongLine("a\0b"s), "\r\n");
  WriteLongLine(stream, LongLine(""), "\r\n");
  WriteLongLine(stream, LongLine(std::string(1024, 'z')), "\r\n");
  EXPECT_EQ(stream.contents(), "a\0b\r\n\r\n"s + std::string(1024, 'z') + "\r\n");
}

}  // namespace
}  // namespace kelmora::templating
