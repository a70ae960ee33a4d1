#include "store/journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "store/failing_file_ops.h"
#include "text/temp_dir.h"

namespace kelmora::store {
namespace {

using namespace std::string_literals;
using text::TempDir;

const std::string kOriginal = "the original\r\nbytes\0of the file\n"s;

// A journal of kOriginal left by an earlier version, in the first layout.
const std::string kFirstLayoutJournal =
    "KELMJRN1\x20\x00\x00\x00\x00\x00\x00\x00\xd3\xdf\xf0\x11\xad\xf0\x80\x1e"s + kOriginal;

JournalImage ImageOf(std::string_view bytes) {
  JournalImage image(bytes.size());
  std::copy(bytes.begin(), bytes.end(), image.data());
  return image;
}

// A journal of kOriginal as WriteJournal makes it, made in `dir`.
std::string JournalBytes(const TempDir& dir) {
  std::string path = dir.Path("made");
  JournalImage image = ImageOf(kOriginal);
  EXPECT_EQ(WriteJournal(path, image, SystemFileOps()), 0u);
  std::string bytes = ReadBytes(path);
  std::filesystem::remove(path);
  return bytes;
}

TEST(Journal, LiesBesideTheFileUnderAFixedSuffix) {
  EXPECT_EQ(JournalPath("dir/in.txt"), "dir/in.txt.kelmora-journal");
}

TEST(Journal, RecoveryPutsBackOnlyACompleteJournalOfOurs) {
  const std::string full = JournalBytes(TempDir());
  std::string bad_checksum = full;
  bad_checksum[full.find(kOriginal)] ^= 1;
  struct Case {
    const char* what;
    std::string journal;
    Recovery::Result result;
    std::string file_after;
    bool journal_kept;
  };
  const Case cases[] = {
      {"complete", full, Recovery::Restored, kOriginal, false},
      {"empty", "", Recovery::Discarded, "new", false},
      {"part of the magic", full.substr(0, 5), Recovery::Discarded, "new", false},
      {"header only", full.substr(0, kJournalBlock), Recovery::Discarded, "new", false},
      {"one byte short", full.substr(0, full.size() - 1), Recovery::Discarded, "new", false},
      {"a byte too many", full + "x", Recovery::Discarded, "new", false},
      {"checksum does not match", bad_checksum, Recovery::Discarded, "new", false},
      {"someone else's file", "not a journal at all", Recovery::Nothing, "new", true},
      {"first layout", kFirstLayoutJournal, Recovery::Restored, kOriginal, false},
      {"first layout, one byte short", kFirstLayoutJournal.substr(0, 55), Recovery::Discarded,
       "new", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string file = dir.Write("in.txt", "new");
    dir.Write("in.txt.kelmora-journal", c.journal);
    Recovery recovery = RecoverFromJournal(file, SystemFileOps());
    EXPECT_EQ(recovery.result, c.result);
    EXPECT_EQ(ReadBytes(file), c.file_after);
    EXPECT_EQ(std::filesystem::exists(JournalPath(file)), c.journal_kept);
  }
}

TEST(Journal, NoFileOrNoJournalMeansNothingToRecover) {
  TempDir dir;
  dir.Write("gone.txt.kelmora-journal", JournalBytes(dir));
  EXPECT_EQ(RecoverFromJournal(dir.Path("gone.txt"), SystemFileOps()).result,
            Recovery::Nothing);
  EXPECT_TRUE(std::filesystem::exists(dir.Path("gone.txt.kelmora-journal")));
  std::string file = dir.Write("in.txt", "new");
  EXPECT_EQ(RecoverFromJournal(file, SystemFileOps()).result, Recovery::Nothing);
  EXPECT_EQ(ReadBytes(file), "new");
}

// Each call of the write-back fails in turn: the journal stays until the
// original is back in full.
TEST(Journal, AFailedWriteBackKeepsTheJournal) {
  // The first open is the journal's.
  const FaultPlan plans[] = {
      {.open = 2}, {.write = 1, .written_before_failure = 4}, {.truncate = 1}, {.flush = 1},
  };
  for (const FaultPlan& plan : plans) {
    SCOPED_TRACE(testing::Message() << "open " << plan.open << " write " << plan.write);
    TempDir dir;
    std::string file = dir.Write("in.txt", "new content, longer than before: " + kOriginal);
    dir.Write("in.txt.kelmora-journal", JournalBytes(dir));
    FailingFileOps fake(plan);
    Recovery recovery = RecoverFromJournal(file, fake.ops());
    EXPECT_EQ(recovery.result, Recovery::Failed);
    EXPECT_EQ(recovery.error, 5u);
    EXPECT_EQ(ReadJournal(JournalPath(file), SystemFileOps()).original, kOriginal);
    EXPECT_EQ(RecoverFromJournal(file, SystemFileOps()).result, Recovery::Restored);
    EXPECT_EQ(ReadBytes(file), kOriginal);
  }
}

TEST(Journal, AJournalThatCannotBeWrittenWholeIsNotLeftBehind) {
  const FaultPlan plans[] = {
      {.create = 1}, {.write = 1}, {.write = 1, .written_before_failure = 4096}, {.flush = 1}};
  JournalImage image = ImageOf(kOriginal);
  for (const FaultPlan& plan : plans) {
    TempDir dir;
    FailingFileOps fake(plan);
    EXPECT_EQ(WriteJournal(dir.Path("j"), image, fake.ops()), 5u);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("j")));
  }
  TempDir dir;
  std::string path = dir.Write("j", "already there");
  EXPECT_NE(WriteJournal(path, image, SystemFileOps()), 0u);
  EXPECT_EQ(ReadBytes(path), "already there");
}

}  // namespace
}  // namespace kelmora::store
