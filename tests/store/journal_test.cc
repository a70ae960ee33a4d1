#include "store/journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "store/failing_file_ops.h"
#include "store/recovery.h"
#include "store/run_lock.h"
#include "text/temp_dir.h"

namespace kelmora::store {
namespace {

using namespace std::string_literals;
using text::TempDir;

const std::string kOriginal = "the original\r\nbytes\0of the file\n"s;
const std::string kNew = "new content, longer than before: the original bytes";

JournalImage ImageOf(std::string_view bytes) {
  JournalImage image(bytes.size());
  std::copy(bytes.begin(), bytes.end(), image.data());
  return image;
}

// The first 2 blocks of the file at `path`.
std::string FirstBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(2 * kJournalBlock, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// Makes the journal of kOriginal for the file at `file` as a rewrite does,
// and leaves it there.
void MakeJournal(const std::string& file, const FileOps& ops = SystemFileOps()) {
  JournalImage image = ImageOf(kOriginal);
  JournalFile journal(JournalPath(file), image, ops);
  ASSERT_EQ(journal.Write(FactsOf(file).identity, {}), 0u);
}

TEST(Journal, LiesBesideTheFileUnderANameThatFits) {
  EXPECT_EQ(JournalPath("dir/in.txt"), "dir/in.txt.kelmora-journal");
  const std::string fits(platform::kMaxNameLength - 16, 'n');
  EXPECT_EQ(JournalPath("dir/" + fits), "dir/" + fits + ".kelmora-journal");
  // Longer names keep their start and a hash of the whole name.
  const std::string a = JournalPath("dir/" + fits + "a"), b = JournalPath("dir/" + fits + "b");
  EXPECT_EQ(a.size(), 4 + platform::kMaxNameLength);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.substr(0, 100), ("dir/" + fits).substr(0, 100));
  EXPECT_TRUE(a.ends_with(".kelmora-journal"));
}

// What lies at the journal's place, and what the next run does with it.
TEST(Recovery, PutsBackOnlyATrustedCompleteJournalOfThisFile) {
  using Edit = std::function<void(TempDir&, const std::string& file, const std::string& journal)>;
  auto flip = [](std::size_t at) -> Edit {
    return [at](TempDir&, const std::string&, const std::string& journal) {
      std::string bytes = ReadBytes(journal);
      bytes[at] ^= 1;
      std::filesystem::remove(journal);
      std::ofstream(journal, std::ios::binary) << bytes;
    };
  };
  auto resize = [](std::uintmax_t size) -> Edit {
    return [size](TempDir&, const std::string&, const std::string& journal) {
      std::filesystem::resize_file(journal, size);
    };
  };
  auto replace = [](std::string bytes) -> Edit {
    return [bytes](TempDir&, const std::string&, const std::string& journal) {
      std::filesystem::remove(journal);
      std::ofstream(journal, std::ios::binary) << bytes;
    };
  };
  auto original_in_file = [](TempDir&, const std::string& file, const std::string&) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << kOriginal;
  };
  struct Case {
    const char* what;
    Edit edit;
    Recovery::Result result;
    Journal::Why why;
    bool restored, kept;
  };
  const std::uintmax_t full = 2 * kJournalBlock;
  const Case cases[] = {
      {"complete", nullptr, Recovery::Restored, {}, true, false},
      {"the file holds its original bytes", original_in_file, Recovery::Discarded, {}, true, false},
      {"header only: never completed",
       resize(kJournalBlock),
       Recovery::Discarded,
       {},
       false,
       false},
      {"one byte short", resize(full - 1), Recovery::Discarded, {}, false, false},
      {"a block too many", resize(full + kJournalBlock), Recovery::Unusable, {}, false, true},
      {"8 GiB, never read", resize(std::uintmax_t{8} << 30), Recovery::Unusable, {}, false, true},
      {"a flipped byte of the bytes", flip(kJournalBlock + 3), Recovery::Unusable, {}, false, true},
      {"a flipped byte of the size", flip(8), Recovery::Unusable, {}, false, true},
      {"a flipped byte of the checksum", flip(16), Recovery::Unusable, {}, false, true},
      {"empty", replace(""), Recovery::NotTrusted, Journal::NotAJournal, false, true},
      {"the magic alone", replace("KELMJRN3"), Recovery::NotTrusted, Journal::NotAJournal, false,
       true},
      {"plain text", replace("my notes\n"), Recovery::NotTrusted, Journal::NotAJournal, false,
       true},
      {"an older layout", flip(7), Recovery::NotTrusted, Journal::NotAJournal, false, true},
      {"made for a file since deleted",
       [](TempDir&, const std::string& file, const std::string&) {
         std::filesystem::rename(file, file + ".old");
         std::ofstream(file, std::ios::binary) << kNew;
       },
       Recovery::NotTrusted, Journal::OtherFile, false, true},
      {"a second name",
       [](TempDir& dir, const std::string&, const std::string& journal) {
         std::filesystem::create_hard_link(journal, dir.Path("elsewhere"));
       },
       Recovery::NotTrusted, Journal::ManyLinks, false, true},
#ifndef _WIN32
      {"others may write to it",
       [](TempDir&, const std::string&, const std::string& journal) {
         std::filesystem::permissions(journal, std::filesystem::perms::group_write,
                                      std::filesystem::perm_options::add);
       },
       Recovery::NotTrusted, Journal::Stranger, false, true},
      {"a link to a journal",
       [](TempDir& dir, const std::string&, const std::string& journal) {
         std::filesystem::rename(journal, dir.Path("real"));
         std::filesystem::create_symlink(dir.Path("real"), journal);
       },
       Recovery::NotTrusted, Journal::NotRegular, false, true},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string file = dir.Write("in.txt", kNew);
    std::string journal = JournalPath(file);
    MakeJournal(file);
    if (c.edit) c.edit(dir, file, journal);
    const auto size = std::filesystem::file_size(journal);
    const std::string header = FirstBytes(journal);
    Recovery recovery = RecoverFromJournal(file, SystemFileOps());
    EXPECT_EQ(recovery.result, c.result);
    EXPECT_EQ(recovery.why, c.why);
    EXPECT_EQ(ReadBytes(file) == kOriginal, c.restored);
    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(journal)), c.kept);
    if (c.kept) {
      EXPECT_EQ(std::filesystem::file_size(journal), size);
      EXPECT_EQ(FirstBytes(journal), header);
    }
  }
}

// The journal is owned by someone who is neither the file's owner nor the
// running user.
TEST(Recovery, AJournalOfAnotherOwnerIsNotTrusted) {
  TempDir dir;
  std::string file = dir.Write("in.txt", kNew);
  MakeJournal(file);
  FileOps ops = SystemFileOps();
  int asked = 0;  // the file's facts come first, then the journal's
  ops.facts = [&asked](platform::FileHandle handle, platform::FileFacts* facts) {
    platform::ErrorCode error = SystemFileOps().facts(handle, facts);
    if (++asked == 2) facts->owner += "-other";
    return error;
  };
  Recovery recovery = RecoverFromJournal(file, ops);
  EXPECT_EQ(recovery.result, Recovery::NotTrusted);
  EXPECT_EQ(recovery.why, Journal::Stranger);
  EXPECT_EQ(ReadBytes(file), kNew);
  // A journal of the file's owner is trusted whoever runs the program.
  FailingFileOps stranger;
  stranger.running_user = "someone else";
  EXPECT_EQ(RecoverFromJournal(file, stranger.ops()).result, Recovery::Restored);
}

TEST(Recovery, NoFileOrNoJournalMeansNothingToRecover) {
  TempDir dir;
  std::string gone = dir.Write("gone.txt", "x");
  MakeJournal(gone);
  std::filesystem::remove(gone);
  EXPECT_EQ(RecoverFromJournal(gone, SystemFileOps()).result, Recovery::Nothing);
  EXPECT_TRUE(std::filesystem::exists(JournalPath(gone)));
  std::string file = dir.Write("in.txt", "new");
  EXPECT_EQ(RecoverFromJournal(file, SystemFileOps()).result, Recovery::Nothing);
  EXPECT_EQ(ReadBytes(file), "new");
}

// A file call of the recovery fails: the journal is never lost while the
// file may need it, and the file is never written from a journal that was
// not read whole.
TEST(Recovery, AFailingCallKeepsTheJournal) {
  struct Case {
    const char* what;
    FaultPlan plan;
    Recovery::Result result;
    bool restored;
  };
  // Opens: the file's, the comparison with the original's, the write-back's.
  const Case cases[] = {
      {"the journal cannot be read", {.read = 1}, Recovery::Unusable, false},
      {"its bytes cannot be read", {.read = 2}, Recovery::Unusable, false},
      {"its facts cannot be had", {.facts = 2}, Recovery::Unusable, false},
      {"it cannot be opened", {.unfollowed = 1}, Recovery::NotTrusted, false},
      {"write-back cannot open the file", {.open = 3}, Recovery::Failed, false},
      {"write-back fails", {.copy = 1, .written_before_failure = 4}, Recovery::Failed, false},
      {"the journal cannot be judged again for its write-back",
       {.facts = 3},
       Recovery::Failed,
       false},
      {"write-back cannot cut the file", {.truncate = 1}, Recovery::Failed, false},
      {"write-back cannot be flushed", {.flush = 1}, Recovery::Failed, false},
      {"the journal cannot be removed", {.remove = 1}, Recovery::Stuck, true},
      {"its removal cannot be flushed", {.folder = 1}, Recovery::Stuck, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string file = dir.Write("in.txt", kNew);
    MakeJournal(file);
    FaultPlan plan = c.plan;
    plan.error = 5;
    FailingFileOps fake(plan);
    Recovery recovery = RecoverFromJournal(file, fake.ops());
    EXPECT_EQ(recovery.result, c.result);
    EXPECT_EQ(recovery.journal, JournalPath(file));
    EXPECT_EQ(recovery.error, c.result == Recovery::NotTrusted ? 5u : recovery.error);
    if (c.restored) {
      EXPECT_EQ(ReadBytes(file), kOriginal);
      continue;
    }
    EXPECT_EQ(OriginalInJournal(file), kOriginal);
    // A write-back that failed only at its flush left the original bytes.
    Recovery next = RecoverFromJournal(file, SystemFileOps());
    EXPECT_TRUE(next.result == Recovery::Restored || next.result == Recovery::Discarded);
    EXPECT_EQ(ReadBytes(file), kOriginal);
  }
}

// Every step of making a journal fails in turn: nothing is left behind,
// and nothing at the name that was there before is touched.
TEST(Journal, AJournalThatCannotBeWrittenWholeIsNotLeftBehind) {
  const FaultPlan plans[] = {{.create = 1},
                             {.write = 1},
                             {.write = 1, .written_before_failure = 4096},
                             {.flush = 1},
                             {.publish = 1}};
  JournalImage image = ImageOf(kOriginal);
  for (const FaultPlan& plan : plans) {
    TempDir dir;
    FailingFileOps fake(plan);
    JournalFile journal(dir.Path("j"), image, fake.ops());
    EXPECT_EQ(journal.Write({}, {}), 5u);
    EXPECT_FALSE(journal.made());
    EXPECT_FALSE(std::filesystem::exists(dir.Path("j")));
  }
  TempDir dir;
  std::string path = dir.Write("j", "already there");
  JournalFile journal(path, image, SystemFileOps());
  EXPECT_NE(journal.Write({}, {}), 0u);
  EXPECT_EQ(ReadBytes(path), "already there");
}

// A journal that cannot be removed, or whose removal cannot be put on
// disk, is marked finished through its handle; the next run removes a
// finished journal and never puts it back.
TEST(Journal, AJournalThatCannotGoIsMarkedFinished) {
  struct Case {
    const char* what;
    FaultPlan plan;
    bool left, marked;
  };
  const Case cases[] = {
      {"removed", {}, false, false},
      {"removal fails", {.remove = 1}, true, true},
      {"its flush fails", {.folder = 1}, false, true},
      {"removal and mark fail", {.write = 2, .remove = 1}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string file = dir.Write("in.txt", kNew);
    JournalImage image = ImageOf(kOriginal);
    FailingFileOps fake(c.plan);
    JournalFile journal(JournalPath(file), image, fake.ops());
    ASSERT_EQ(journal.Write(FactsOf(file).identity, {}), 0u);
    JournalFile::End end = journal.Remove();
    EXPECT_EQ(end.error != 0, c.left || c.marked);
    EXPECT_EQ(end.marked, c.marked);
    Journal::State left = JournalBeside(file).state;
    EXPECT_EQ(left, !c.left ? Journal::Missing : c.marked ? Journal::Finished : Journal::Complete);
    if (left == Journal::Finished) {
      EXPECT_EQ(RecoverFromJournal(file, SystemFileOps()).result, Recovery::Discarded);
      EXPECT_EQ(ReadBytes(file), kNew);
    }
  }
}

}  // namespace
}  // namespace kelmora::store

namespace kelmora::store {
namespace {

// A second run on the file waits for the first, up to its bound; a file
// that cannot be locked is no reason to stop.
TEST(RunLock, OneRunAtATimePerFile) {
  TempDir dir;
  std::string file = dir.Write("in.txt", "x");
  {
    RunLock first(SystemFileOps()), second(SystemFileOps());
    EXPECT_EQ(first.Take(file, 0), 0u);
    EXPECT_EQ(second.Take(file, 60), platform::kInUse);
  }
  RunLock again(SystemFileOps());
  EXPECT_EQ(again.Take(file, 0), 0u);
  RunLock missing(SystemFileOps());
  EXPECT_EQ(missing.Take(dir.Path("missing.txt"), 0), 0u);
  FailingFileOps failing(FaultPlan{.lock = 1, .error = 37});
  RunLock unsupported(failing.ops());
  EXPECT_EQ(unsupported.Take(file, 0), 0u);
  EXPECT_EQ(failing.locks, 1);
}

}  // namespace
}  // namespace kelmora::store
