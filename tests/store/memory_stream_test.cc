#include "store/memory_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace kelmora::store {
namespace {

using namespace std::string_literals;

std::string ReadBack(MemoryStream& stream, std::size_t count) {
  std::string into(count, 'X');
  stream.Read(into.data(), count);
  return into;
}

TEST(MemoryStream, ReadsWhatWasWrittenThenZeroPastTheEnd) {
  MemoryStream stream;
  stream.Write("abc", 3);
  stream.Seek(0);
  EXPECT_EQ(ReadBack(stream, 1), "a");
  EXPECT_EQ(ReadBack(stream, 2), "bc");
  EXPECT_EQ(stream.status(), StreamStatus::Ok);
  EXPECT_EQ(ReadBack(stream, 1), "\0"s);
  EXPECT_EQ(stream.status(), StreamStatus::PastEnd);
  EXPECT_EQ(stream.Position(), -1);
  EXPECT_EQ(stream.Size(), -1);
  stream.Reset();
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_EQ(stream.Size(), 3);
}

TEST(MemoryStream, ReadLongerThanWhatIsLeftZeroesTheWholeDestination) {
  MemoryStream stream;
  stream.Write("abc", 3);
  stream.Seek(1);
  EXPECT_EQ(ReadBack(stream, 5), std::string(5, '\0'));
  EXPECT_EQ(stream.status(), StreamStatus::PastEnd);
}

TEST(MemoryStream, SeekClampsBelowZeroButNotBeyondTheSize) {
  MemoryStream stream;
  stream.Write("ab", 2);
  stream.Seek(-7);
  EXPECT_EQ(stream.Position(), 0);
  stream.Seek(5);
  EXPECT_EQ(stream.Position(), 5);
  EXPECT_EQ(stream.Size(), 2);
  stream.Write("c", 1);
  EXPECT_EQ(stream.contents(), "ab\0\0\0c"s);
}

TEST(MemoryStream, TruncateMakesThePositionTheSize) {
  MemoryStream stream;
  stream.Write("abcdef", 6);
  stream.Seek(2);
  stream.Truncate();
  EXPECT_EQ(stream.contents(), "ab");
  EXPECT_EQ(stream.Size(), 2);
  stream.Seek(4);
  stream.Truncate();
  EXPECT_EQ(stream.contents(), "ab\0\0"s);
}

TEST(MemoryStream, NoMemoryForAWriteWritesNothingAndStopsTheStream) {
  MemoryStream stream(4);
  stream.Write("abc", 3);
  stream.Write("de", 2);
  EXPECT_EQ(stream.status(), StreamStatus::WriteFailed);
  EXPECT_EQ(stream.error_detail(), platform::kNotEnoughMemory);
  EXPECT_EQ(stream.contents(), "abc");
  stream.Write("f", 1);
  stream.Seek(0);
  EXPECT_EQ(ReadBack(stream, 1), "\0"s);
  stream.Reset();
  EXPECT_EQ(stream.Position(), 3);
  stream.Write("d", 1);
  EXPECT_EQ(stream.contents(), "abcd");
}

TEST(MemoryStream, APositionNoMemoryCanReachFailsInsteadOfCrashing) {
  MemoryStream stream;
  stream.Seek(std::numeric_limits<std::int64_t>::max());
  stream.Write("a", 1);
  EXPECT_EQ(stream.status(), StreamStatus::WriteFailed);
  EXPECT_EQ(stream.error_detail(), platform::kNotEnoughMemory);
  EXPECT_EQ(stream.contents().size(), 0u);
}

}  // namespace
}  // namespace kelmora::store
