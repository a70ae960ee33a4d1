#include "config/stream_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/memory_stream.h"

namespace kelmora::config {
namespace {

// Every line of `bytes`, read the way a settings file is read: at least one
// line, then on until the stream stands at its end.
std::vector<std::string> LinesOf(const std::string& bytes) {
  store::MemoryStream stream;
  stream.Write(bytes.data(), bytes.size());
  stream.Seek(0);
  std::vector<std::string> lines;
  do {
    lines.push_back(ReadStreamLine(stream).str());
    EXPECT_EQ(stream.status(), store::StreamStatus::Ok);
  } while (stream.Position() != stream.Size() && lines.size() < 100);
  return lines;
}

TEST(ReadStreamLine, EveryKindOfLineEnd) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {""}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\rb\n\r", {"a", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\r\nb", {"a", "", "b"}},  // LF CR, then LF
      {"\r\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\r", {"a"}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const Case& c : cases) EXPECT_EQ(LinesOf(c.bytes), c.lines) << c.bytes;
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

TEST(ReadStreamLine, OtherFailuresStayForTheCaller) {
  store::MemoryStream stream(0);  // holds nothing; the write fails
  stream.Write("a", 1);
  ASSERT_EQ(stream.status(), store::StreamStatus::WriteFailed);
  EXPECT_EQ(ReadStreamLine(stream).str(), "");
  EXPECT_EQ(stream.status(), store::StreamStatus::WriteFailed);
}

}  // namespace
}  // namespace kelmora::config
