#include "store/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/failing_file_ops.h"
#include "store/file_stream.h"
#include "text/temp_dir.h"

namespace kelmora::store {
namespace {

using namespace std::string_literals;

// Every line of `bytes`, read the way a settings file is read: at least one
// line, then on until the stream stands at its end.
template <class Stream>
std::vector<std::string> StreamLinesOf(Stream& stream) {
  std::vector<std::string> lines;
  do {
    lines.push_back(ReadStreamLine(stream).str());
    EXPECT_EQ(stream.status(), StreamStatus::Ok);
  } while (stream.Position() != stream.Size() && lines.size() < 100);
  return lines;
}

std::vector<std::string> LinesOf(const std::string& bytes) {
  text::TempDir dir;
  FileStream stream(dir.Write("lines", bytes), kOpenRead, 4096);
  return StreamLinesOf(stream);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  LineSplitter splitter(text, 1024);
  std::string_view line;
  while (splitter.Next(line) && lines.size() < 100) lines.emplace_back(line);
  return lines;
}

struct LineCase {
  std::string bytes;
  std::vector<std::string> lines;
};

// Lines of at most 255 bytes, read alike by both readers.
const LineCase kLineCases[] = {
    {"a", {"a"}},
    {"a\r\nb\r\n", {"a", "b"}},
    {"a\nb\n", {"a", "b"}},
    {"a\rb\r", {"a", "b"}},
    {"a\n\rb\n\r", {"a", "b"}},
    {"a\r\rb", {"a", "", "b"}},
    {"a\n\nb", {"a", "", "b"}},
    {"a\r\n\r\nb", {"a", "", "b"}},
    {"a\r\n\r\n", {"a", ""}},
    {"a\n\r\nb", {"a", "", "b"}},  // LF CR, then LF
    {"\r\n", {""}},
    {"\r\n\r\n", {"", ""}},
    {"a\r", {"a"}},
    {"a\0b\r\nc"s, {"a\0b"s, "c"}},
};

TEST(ReadStreamLine, EveryKindOfLineEnd) {
  for (const LineCase& c : kLineCases) EXPECT_EQ(LinesOf(c.bytes), c.lines) << c.bytes;
  EXPECT_EQ(LinesOf(""), std::vector<std::string>{""});
}

TEST(LineSplitter, EveryKindOfLineEnd) {
  for (const LineCase& c : kLineCases) EXPECT_EQ(SplitLines(c.bytes), c.lines) << c.bytes;
  EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
}

TEST(LineSplitter, LongLinesComeInPiecesWithNoByteLost) {
  const std::string k1024(1024, 'x');
  const LineCase cases[] = {
      {std::string(1500, 'x'), {k1024, std::string(476, 'x')}},
      {std::string(1500, 'x') + "\r\n", {k1024, std::string(476, 'x')}},
      {k1024, {k1024}},
      {k1024 + "\r\n", {k1024}},
      {k1024 + "\n\r" + "y", {k1024, "y"}},
      {k1024 + "\r\r", {k1024, ""}},
      {std::string(2048, 'x') + "\r\nz", {k1024, k1024, "z"}},
      {std::string(1025, 'x') + "\n", {k1024, "x"}},
  };
  for (const LineCase& c : cases) EXPECT_EQ(SplitLines(c.bytes), c.lines) << c.bytes.size();
}

TEST(ReadStreamLine, LongLineKeeps255AndSkipsTheRest) {
  std::string long_line(300, 'x');
  long_line[254] = 'E';  // the last kept character
  long_line[255] = 'L';  // the first one dropped
  auto lines = LinesOf(long_line + "\r\nnext");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], long_line.substr(0, 255));
  EXPECT_EQ(lines[1], "next");

  EXPECT_EQ(LinesOf(std::string(255, 'y') + "\nz"),
            (std::vector<std::string>{std::string(255, 'y'), "z"}));
}

// The byte after a line end is given back across the file stream's buffer
// boundary (4096): the line end is the last byte of one buffer-full, or its
// second half the first byte of the next.
TEST(ReadStreamLine, GivesBackTheByteAfterALineEndAcrossTheBuffer) {
  const std::string h(200, 'h');
  std::string head;
  for (int i = 0; i < 20; ++i) head += h + "\n";  // 4020 bytes
  const LineCase cases[] = {
      {std::string(75, 'a') + "\rb", {std::string(75, 'a'), "b"}},
      {std::string(75, 'a') + "\r\nb", {std::string(75, 'a'), "b"}},
      {std::string(76, 'a') + "\r\nb", {std::string(76, 'a'), "b"}},
      {std::string(74, 'a') + "\r\nb", {std::string(74, 'a'), "b"}},
      {std::string(75, 'a') + "\n\nb", {std::string(75, 'a'), "", "b"}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    text::TempDir dir;
    FileStream stream(dir.Write("f", head + c.bytes), kOpenRead, 4096);
    std::vector<std::string> expected(20, h);
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(StreamLinesOf(stream), expected);
  }
}

TEST(ReadStreamLine, OtherFailuresStayForTheCaller) {
  text::TempDir dir;
  FailingFileOps ops(FaultPlan{.read = 1, .persistent = true});
  FileStream stream(dir.Write("lines", "a\r\nb"), kOpenRead, 4096, ops.ops());
  EXPECT_EQ(ReadStreamLine(stream).str(), "");
  EXPECT_EQ(stream.status(), StreamStatus::OsError);
}

}  // namespace
}  // namespace kelmora::store
