#include "store/file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/failing_file_ops.h"
#include "text/temp_dir.h"

namespace kelmora::store {
namespace {

using text::TempDir;

constexpr std::size_t kBuffer = 4096;

// n bytes that differ from their neighbours, so a byte read from the wrong
// place shows.
std::string Pattern(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('a' + i % 23);
  return bytes;
}

char ReadByte(FileStream& stream) {
  char c = 'X';
  stream.Read(&c, 1);
  return c;
}

TEST(FileStream, ReadsByteByByteThenZeroPastTheEnd) {
  for (std::size_t n : {0u, 1u, 4095u, 4096u, 4097u, 10000u}) {
    SCOPED_TRACE(n);
    TempDir dir;
    std::string bytes = Pattern(n);
    FileStream stream(dir.Write("f", bytes), kOpenRead, kBuffer);
    std::string got;
    for (std::size_t i = 0; i < n; ++i) got += ReadByte(stream);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(stream.status(), StreamStatus::Ok);
    EXPECT_EQ(ReadByte(stream), '\0');
    EXPECT_EQ(stream.status(), StreamStatus::PastEnd);
    EXPECT_EQ(stream.Position(), -1);
    stream.Reset();
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(n));
    EXPECT_EQ(stream.Size(), static_cast<std::int64_t>(n));
  }
}

TEST(FileStream, ReadPastTheEndZeroesTheWholeDestination) {
  TempDir dir;
  FileStream stream(dir.Write("f", "abc"), kOpenRead, kBuffer);
  std::string into = "12345";
  stream.Read(into.data(), into.size());
  EXPECT_EQ(into, std::string(5, '\0'));
  EXPECT_EQ(stream.status(), StreamStatus::PastEnd);
}

TEST(FileStream, SeekingOneBackGivesTheSameByteAgain) {
  TempDir dir;
  std::string bytes = Pattern(3 * kBuffer);
  FileStream stream(dir.Write("f", bytes), kOpenRead, kBuffer);
  // Around both buffer boundaries as well as inside a buffer.
  for (std::size_t at : {0u, 1u, 4094u, 4095u, 4096u, 4097u, 8191u, 8192u}) {
    SCOPED_TRACE(at);
    stream.Seek(static_cast<std::int64_t>(at));
    char first = ReadByte(stream);
    stream.Seek(stream.Position() - 1);
    EXPECT_EQ(ReadByte(stream), first);
    EXPECT_EQ(first, bytes[at]);
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(at + 1));
  }
}

TEST(FileStream, NegativeSeekCountsAsZero) {
  TempDir dir;
  FileStream stream(dir.Write("f", "xyz"), kOpenRead, kBuffer);
  ReadByte(stream);
  stream.Seek(-5);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(ReadByte(stream), 'x');
}

TEST(FileStream, TruncateAfterShorterWriteLeavesExactlyTheWrittenBytes) {
  for (std::size_t n : {0u, 3u, 4096u, 5000u}) {
    SCOPED_TRACE(n);
    TempDir dir;
    std::string path = dir.Write("f", std::string(12000, '#'));
    std::string written = Pattern(n);
    {
      FileStream stream(path, kOpenReadWrite, kBuffer);
      stream.Write(written.data(), written.size());
      stream.Truncate();
      EXPECT_EQ(stream.status(), StreamStatus::Ok);
      EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(n));
    }
    EXPECT_EQ(ReadBytes(path), written);
  }
}

TEST(FileStream, WritingAfterReadingStartsAtThePositionNotAfterTheReadAhead) {
  TempDir dir;
  std::string path = dir.Write("f", "0123456789");
  {
    FileStream stream(path, kOpenReadWrite, kBuffer);
    ReadByte(stream);
    ReadByte(stream);
    stream.Write("XY", 2);
    EXPECT_EQ(ReadByte(stream), '4');
    stream.Write("Z", 1);
  }
  EXPECT_EQ(ReadBytes(path), "01XY4Z6789");
}

TEST(FileStream, SizeCountsPendingBytesAndDisposeWritesThemOut) {
  TempDir dir;
  std::string path = dir.Write("f", "ab");
  std::string bytes = Pattern(6000);
  {
    FileStream stream(path, kOpenReadWrite, kBuffer);
    // Pieces of uneven sizes, so they straddle the buffer's end.
    for (std::size_t at = 0; at < bytes.size(); at += 7)
      stream.Write(bytes.data() + at, std::min<std::size_t>(7, bytes.size() - at));
    EXPECT_EQ(stream.Position(), 6000);
    EXPECT_EQ(stream.Size(), 6000);
    stream.Write("!", 1);
  }
  EXPECT_EQ(ReadBytes(path), bytes + "!");
}

TEST(FileStream, OpenModesGiveAccessAndSharing) {
  struct Case {
    std::uint16_t mode;
    platform::FileAccess access;
    platform::FileShare share;
  };
  const Case cases[] = {
      {kOpenRead, platform::FileAccess::Read, platform::FileShare::ReadWrite},
      {kOpenReadWrite, platform::FileAccess::ReadWrite, platform::FileShare::ReadWrite},
      {0x3D01, platform::FileAccess::Write, platform::FileShare::None},
      {0x3D12, platform::FileAccess::ReadWrite, platform::FileShare::None},
      {0x3D20, platform::FileAccess::Read, platform::FileShare::Read},
      {0x3D32, platform::FileAccess::ReadWrite, platform::FileShare::Write},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    FileOps ops = SystemFileOps();
    platform::FileAccess access{};
    platform::FileShare share{};
    ops.open = [&](const std::string&, platform::FileAccess a, platform::FileShare s,
                   platform::FileHandle* out) {
      access = a;
      share = s;
      *out = platform::kNoFile;
      return platform::ErrorCode{2};
    };
    FileStream stream("any", c.mode, kBuffer, ops);
    EXPECT_EQ(access, c.access);
    EXPECT_EQ(share, c.share);
  }
}

TEST(FileStream, MissingFileGivesAFailedStreamAndIsNotCreated) {
  TempDir dir;
  std::string path = dir.Path("missing");
  FileStream stream(path, kOpenReadWrite, kBuffer);
  EXPECT_EQ(stream.status(), StreamStatus::OpenFailed);
  EXPECT_NE(stream.error_detail(), 0u);
  stream.Write("abc", 3);
  stream.Truncate();
  EXPECT_FALSE(std::filesystem::exists(path));
}

// Every operation of a stream whose file did not open does nothing, also
// after a reset: the first query fails again.
TEST(FileStream, FailedOpenKeepsEveryOperationAwayFromTheFile) {
  FailingFileOps fake(FaultPlan{.open = 1, .error = 13});
  FileStream stream("any", kOpenReadWrite, kBuffer, fake.ops());
  EXPECT_EQ(stream.status(), StreamStatus::OpenFailed);
  EXPECT_EQ(stream.error_detail(), 13u);
  EXPECT_EQ(ReadByte(stream), '\0');
  stream.Write("abc", 3);
  stream.Seek(2);
  stream.Truncate();
  EXPECT_EQ(stream.Position(), -1);
  EXPECT_EQ(stream.Size(), -1);
  stream.Reset();
  EXPECT_EQ(stream.Size(), -1);
  EXPECT_EQ(stream.status(), StreamStatus::OsError);
  EXPECT_EQ(stream.error_detail(), 13u);
  stream.Reset();
  EXPECT_EQ(ReadByte(stream), '\0');
  stream.Write("abc", 3);
  stream.Flush();
  EXPECT_EQ(fake.reads + fake.writes + fake.seeks + fake.sizes + fake.truncates + fake.closes, 0);
}

TEST(FileStream, ReadOnlyFileInReadWriteModeIsNotTouched) {
  TempDir dir;
  std::string path = dir.Write("f", "keep");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  if (std::ofstream(path, std::ios::in | std::ios::out).is_open()) {
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    GTEST_SKIP() << "this user may write to read-only files (root); the e2e "
                    "cases cover an unwritable file with chattr +i";
  }
  {
    FileStream stream(path, kOpenReadWrite, kBuffer);
    EXPECT_EQ(stream.status(), StreamStatus::OpenFailed);
    EXPECT_EQ(ReadByte(stream), '\0');
    stream.Write("gone", 4);
    stream.Truncate();
  }
  EXPECT_EQ(ReadBytes(path), "keep");
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

TEST(FileStream, FailedWriteStopsTheStreamUntilReset) {
  TempDir dir;
  std::string path = dir.Write("f", "");
  FailingFileOps fake(FaultPlan{.write = 1, .written_before_failure = 10, .error = 28});
  {
    FileStream stream(path, kOpenReadWrite, kBuffer, fake.ops());
    std::string bytes = Pattern(kBuffer);
    stream.Write(bytes.data(), bytes.size());
    EXPECT_EQ(stream.status(), StreamStatus::WriteFailed);
    EXPECT_EQ(stream.error_detail(), 28u);
    stream.Write("more", 4);
    stream.Seek(0);
    stream.Truncate();
    EXPECT_EQ(fake.writes, 1);
    EXPECT_EQ(fake.seeks + fake.truncates, 0);
    stream.Reset();
    stream.Seek(0);
    stream.Write("ok", 2);
    stream.Truncate();
    EXPECT_EQ(stream.status(), StreamStatus::Ok);
  }
  EXPECT_EQ(ReadBytes(path), "ok");
}

TEST(FileStream, FailingCallsSetTheOsErrorWithItsCode) {
  struct Case {
    const char* name;
    FaultPlan plan;
  };
  const Case cases[] = {
      {"read", FaultPlan{.read = 1, .error = 21}},
      {"seek", FaultPlan{.seek = 1, .error = 22}},
      {"size", FaultPlan{.size = 1, .error = 23}},
      {"truncate", FaultPlan{.truncate = 1, .error = 24}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.Write("f", "abcdef");
    FailingFileOps fake(c.plan);
    FileStream stream(path, kOpenReadWrite, kBuffer, fake.ops());
    ReadByte(stream);
    stream.Seek(5000);
    stream.Size();
    stream.Truncate();
    EXPECT_EQ(stream.status(), StreamStatus::OsError);
    EXPECT_EQ(stream.error_detail(), c.plan.error);
    EXPECT_EQ(stream.Position(), -1);
  }
}

}  // namespace
}  // namespace kelmora::store
