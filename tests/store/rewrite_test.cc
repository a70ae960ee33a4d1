#include "store/rewrite.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <tuple>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "store/failing_file_ops.h"
#include "store/journal.h"
#include "store/output_file.h"
#include "store/recovery.h"
#include "text/temp_dir.h"

namespace kelmora::store {
namespace {

using text::TempDir;

using Change = std::function<std::string(const std::string& original)>;

// Hands `change` of the original to the sink in one piece.
Producer Producing(const Change& change) {
  return [change](std::string_view original, const PieceSink& sink) {
    return sink(change(std::string(original))) ? Production::Done : Production::Stopped;
  };
}

// The same, reading the original in pieces first; it checks that it was
// told rightly whether the original holds a CR.
PieceProducer ProducingFromPieces(const Change& change) {
  return [change](const OriginalPieces& original, const PieceSink& sink) {
    std::string bytes, piece(std::size_t{1} << 20, '\0');
    for (std::size_t got = 1; got > 0;) {
      if (original.read(piece.data(), piece.size(), &got) != 0) return Production::ReadFailed;
      bytes.append(piece, 0, got);
    }
    EXPECT_EQ(bytes.size(), original.size);
    EXPECT_EQ(original.holds_cr, bytes.find('\r') != std::string::npos);
    return sink(change(bytes)) ? Production::Done : Production::Stopped;
  };
}

struct Rewritten {
  RewriteOutcome outcome;
  std::string after;
  // What the rewrite left beside the file, and the original bytes it holds
  // when it is complete.
  Journal journal;
  std::string journal_original;
  // The file once the next run's start has recovered it.
  std::string recovered;
  std::string path;
};

// Rewrites a file holding `before`.
// With `pieces`, a large file is read in pieces from its journal.
Rewritten RunRewrite(const std::string& before, const Producer& produce,
                     const FileOps& ops = SystemFileOps(),
                     std::size_t memory_limit = kNoMemoryLimit, const PieceProducer& pieces = {}) {
  TempDir dir;
  std::string path = dir.Write("file.txt", before);
  Rewritten rewritten;
  rewritten.path = path;
  {
    FileStream stream(path, kOpenReadWrite, 4096, ops);
    rewritten.outcome = pieces ? RewriteInPlace(stream, produce, pieces, memory_limit)
                               : RewriteInPlace(stream, produce, memory_limit);
  }
  rewritten.after = ReadBytes(path);
  rewritten.journal = JournalBeside(path);
  rewritten.journal_original = OriginalInJournal(path);
  RecoverFromJournal(path, SystemFileOps());
  rewritten.recovered = ReadBytes(path);
  return rewritten;
}

std::string Shorter(const std::string& original) { return original.substr(0, original.size() / 3); }
std::string Longer(const std::string& original) { return original + original; }

// Contents whose rewrite takes several buffer-fulls of writes, once
// shorter and once longer than the original, so a failure can strike the
// file at any point of either.
std::vector<std::pair<std::string, Change>> FaultCases() {
  std::string before;
  for (int i = 0; i < 2000; ++i) before += "line " + std::to_string(i) + "\r\n";
  return {{before, Shorter}, {before, Longer}};
}

TEST(RewriteInPlace, LeavesAnEmptyFileUnwrittenWhenNothingIsMadeOfIt) {
  FailingFileOps counting;
  int produced = 0;
  Rewritten rewritten = RunRewrite(
      "",
      [&](std::string_view, const PieceSink&) {
        ++produced;
        return Production::Done;
      },
      counting.ops());
  EXPECT_TRUE(rewritten.outcome.ok);
  EXPECT_EQ(rewritten.after, "");
  EXPECT_EQ(produced, 1);
  EXPECT_EQ(counting.writes + counting.truncates + counting.creates, 0);
}

// A producer that does not read the original (a template filled into an
// output file) fills an empty file too.
TEST(RewriteInPlace, FillsAnEmptyFileWithWhatIsMade) {
  Rewritten rewritten = RunRewrite("", [](std::string_view, const PieceSink& sink) {
    return sink("made\r\n") ? Production::Done : Production::Stopped;
  });
  EXPECT_TRUE(rewritten.outcome.ok);
  EXPECT_EQ(rewritten.after, "made\r\n");
}

TEST(RewriteInPlace, FileThatDidNotOpenFailsWithTheOpenError) {
  FailingFileOps fake(FaultPlan{.open = 1, .error = 32});
  Rewritten rewritten = RunRewrite("keep\n", Producing(Longer), fake.ops());
  EXPECT_FALSE(rewritten.outcome.ok);
  EXPECT_EQ(rewritten.outcome.error, 32u);
  EXPECT_EQ(rewritten.after, "keep\n");
}

// Every call of the write path (journal, file, write-back) fails in turn,
// once or from then on: the file ends as the original or the new content,
// and while it is neither, a complete journal holds the original.
TEST(RewriteInPlace, AFailureAnywhereOnTheWritePathLeavesOriginalOrNewContent) {
  // A file past kWholeFile, with its journal copied from it, read in pieces
  // from there, and copied back over the file after a failure.
  std::string large;
  for (int i = 0; large.size() <= kWholeFile; ++i) large += "line " + std::to_string(i) + "\n";
  auto cases = FaultCases();
  cases.emplace_back(large, Longer);
  for (const auto& [before, change] : cases) {
    const bool in_pieces = before.size() >= kWholeFile;
    const PieceProducer pieces = in_pieces ? ProducingFromPieces(change) : PieceProducer();
    auto run = [&](const FileOps& ops) {
      return RunRewrite(before, Producing(change), ops, kNoMemoryLimit, pieces);
    };
    FailingFileOps counting;
    const std::string after = run(counting.ops()).after;
    if (in_pieces) {
      EXPECT_EQ(counting.copies, 1);
    } else {
      // The file is read with one call and written with one, after the
      // journal's one.
      EXPECT_EQ(counting.reads, 1);
      EXPECT_EQ(counting.writes, 2);
    }
    const std::tuple<const char*, int FaultPlan::*, int> kinds[] = {
        {"copy", &FaultPlan::copy, counting.copies},
        {"read", &FaultPlan::read, counting.reads},
        {"create", &FaultPlan::create, counting.creates},
        {"write", &FaultPlan::write, counting.writes},
        {"flush", &FaultPlan::flush, counting.flushes},
        {"truncate", &FaultPlan::truncate, counting.truncates},
        {"remove", &FaultPlan::remove, counting.removes},
        {"stamp", &FaultPlan::stamp, counting.stamps},
        {"seek", &FaultPlan::seek, counting.seeks},
        {"publish", &FaultPlan::publish, counting.publishes},
        {"folder", &FaultPlan::folder, counting.folder_flushes},
        {"facts", &FaultPlan::facts, counting.facts_asked},
    };
    for (auto [name, kind, calls] : kinds) {
      // One call more than a clean run makes: the write-back's.
      for (int failing = 1; failing <= calls + 1; ++failing) {
        for (bool persistent : {false, true}) {
          SCOPED_TRACE(testing::Message() << name << " call " << failing << " of " << calls
                                          << (persistent ? ", persistent" : ""));
          FaultPlan plan{.written_before_failure = 100, .error = 28, .persistent = persistent};
          plan.*kind = failing;
          FailingFileOps fake(plan);
          Rewritten rewritten = run(fake.ops());
          if (rewritten.outcome.ok) {
            EXPECT_TRUE(rewritten.after == after);
          } else if (!rewritten.outcome.damaged) {
            EXPECT_TRUE(rewritten.after == before);
          }
          if (rewritten.after != before && rewritten.after != after) {
            EXPECT_TRUE(rewritten.outcome.damaged);
          }
          // A damaged outcome names a complete journal of the original.
          if (rewritten.outcome.damaged) {
            EXPECT_EQ(rewritten.outcome.journal, JournalPath(rewritten.path));
            EXPECT_EQ(rewritten.journal.state, Journal::Complete);
          }
          // A journal left is the original's, or marked finished once the
          // file holds the new content.
          if (rewritten.journal.state == Journal::Complete) {
            EXPECT_TRUE(rewritten.journal_original == before);
            EXPECT_TRUE(rewritten.outcome.damaged || !rewritten.outcome.journal_marked);
          } else if (rewritten.journal.state != Journal::Missing) {
            EXPECT_EQ(rewritten.journal.state, Journal::Finished);
          }
          // Only a journal that could neither go nor be marked may roll the
          // new content back, and the run says so.
          if (rewritten.outcome.ok && rewritten.recovered != after) {
            EXPECT_TRUE(rewritten.outcome.journal_error != 0 && !rewritten.outcome.journal_marked);
          }
          EXPECT_TRUE(rewritten.recovered == before || rewritten.recovered == after);
        }
      }
    }
  }
}

#ifdef _WIN32
constexpr platform::ErrorCode kAccessDenied = 5;  // ERROR_ACCESS_DENIED
#else
constexpr platform::ErrorCode kAccessDenied = 13;  // EACCES
#endif

TEST(RewriteInPlace, FailuresOnTheWritePathAreReportedAsTheyEnd) {
  const auto cases_of_faults = FaultCases();
  const auto& [before, change] = cases_of_faults[1];
  const std::string after = change(before);
  struct Case {
    const char* what;
    FaultPlan plan;
    bool ok, damaged;
    const std::string& left;
    Journal::State journal;
    bool journal_error = false, marked = false;
  };
  // A clean run's writes: the journal, then the file; its flushes likewise.
  const Case cases[] = {
      {"the user may not make a journal: written in place",
       {.create = 1, .error = kAccessDenied},
       true,
       false,
       after,
       Journal::Missing},
      {"no room for the journal: not written",
       {.create = 1, .error = 28},
       false,
       false,
       before,
       Journal::Missing},
      {"journal cut short: not written", {.write = 1}, false, false, before, Journal::Missing},
      {"journal not flushed: not written", {.flush = 1}, false, false, before, Journal::Missing},
      {"journal not named: not written", {.publish = 1}, false, false, before, Journal::Missing},
      {"file write fails: written back", {.write = 2}, false, false, before, Journal::Missing},
      {"flush of the file fails: written back",
       {.flush = 2},
       false,
       false,
       before,
       Journal::Missing},
      // Both writes stop after the same 100 bytes, which the old and the
      // new content share: the file is whole, as reading it back shows.
      {"write-back fails, the file whole",
       {.write = 2, .written_before_failure = 100, .persistent = true},
       false,
       false,
       before,
       Journal::Missing},
      {"write-back fails, the file not whole: journal kept",
       {.write = 3, .flush = 2, .persistent = true},
       false,
       true,
       after,
       Journal::Complete},
      {"journal not removed: marked finished",
       {.remove = 1},
       true,
       false,
       after,
       Journal::Finished,
       true,
       true},
      {"its removal not flushed: marked finished",
       {.folder = 1},
       true,
       false,
       after,
       Journal::Missing,
       true,
       true},
      {"journal neither removed nor marked",
       {.write = 3, .remove = 1},
       true,
       false,
       after,
       Journal::Complete,
       true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultPlan plan = c.plan;
    bool access_denied = plan.create == 1 && plan.error == kAccessDenied;
    if (!access_denied) plan.error = 28;
    FailingFileOps fake(plan);
    Rewritten rewritten = RunRewrite(before, Producing(change), fake.ops());
    EXPECT_EQ(rewritten.outcome.ok, c.ok);
    EXPECT_EQ(rewritten.outcome.damaged, c.damaged);
    EXPECT_EQ(rewritten.outcome.error, c.ok ? 0u : 28u);
    EXPECT_TRUE(rewritten.after == c.left);
    EXPECT_EQ(rewritten.journal.state, c.journal);
    EXPECT_EQ(rewritten.outcome.journal_error != 0, c.journal_error);
    EXPECT_EQ(rewritten.outcome.journal_marked, c.marked);
    EXPECT_EQ(rewritten.outcome.journal.empty(), !c.damaged && !c.journal_error);
  }
}

// The journal goes only once the file's new content is on disk: after the
// file's last write, truncation and flush, and its removal is flushed.
TEST(RewriteInPlace, TheJournalGoesOnlyAfterTheFilesLastFlush) {
  for (const auto& [before, change] : FaultCases()) {
    FailingFileOps recording;
    ASSERT_TRUE(RunRewrite(before, Producing(change), recording.ops()).outcome.ok);
    const std::vector<std::string> expected = {
        "create file.txt.kelmora-journal",
        "write file.txt.kelmora-journal",
        "flush file.txt.kelmora-journal",
        "publish file.txt.kelmora-journal",
        "write file.txt",
        "truncate file.txt",
        "flush file.txt",
        "remove file.txt.kelmora-journal",
        "flush folder",
    };
    EXPECT_EQ(recording.calls, expected);
  }
}

TEST(RewriteInPlace, AFileChangedWhileTheContentIsMadeIsNotWritten) {
  TempDir dir;
  std::string path = dir.Write("file.txt", "one\ntwo\n");
  RewriteOutcome outcome;
  {
    FileStream stream(path, kOpenReadWrite, 4096);
    outcome = RewriteInPlace(stream, Producing([&](const std::string& original) {
                               std::ofstream(path, std::ios::binary | std::ios::app) << "three\n";
                               return original;
                             }));
  }
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, platform::kFileChanged);
  EXPECT_EQ(ReadBytes(path), "one\ntwo\nthree\n");
  EXPECT_EQ(JournalBeside(path).state, Journal::Missing);
}

TEST(RewriteInPlace, FailingReadSeekOrSizeFailsWithoutWriting) {
  const auto cases_of_faults = FaultCases();
  const auto& [before, change] = cases_of_faults[0];
  const FaultPlan plans[] = {
      FaultPlan{.read = 1, .error = 5},
      FaultPlan{.stamp = 1, .error = 5},
      FaultPlan{.seek = 1, .error = 5},
      FaultPlan{.size = 1, .error = 5},
  };
  for (const FaultPlan& plan : plans) {
    FailingFileOps fake(plan);
    Rewritten rewritten = RunRewrite(before, Producing(change), fake.ops());
    EXPECT_FALSE(rewritten.outcome.ok);
    EXPECT_EQ(rewritten.outcome.error, 5u);
    EXPECT_EQ(fake.writes + fake.truncates, 0);
    EXPECT_TRUE(rewritten.after == before);
  }
}

TEST(RewriteInPlace, RunningOutOfMemoryBeforeWritingFailsWithoutWriting) {
  const std::string before = "a\nb\nc\n";
  struct Case {
    const char* what;
    std::size_t limit;
    Producer produce;
  };
  const Case cases[] = {
      {"the copy of the file does not fit", 5, Producing(Longer)},
      {"the producer runs out", kNoMemoryLimit,
       [](std::string_view, const PieceSink&) { return Production::OutOfMemory; }},
      {"the producer's allocation throws", kNoMemoryLimit,
       [](std::string_view, const PieceSink&) -> Production { throw std::bad_alloc(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FailingFileOps counting;
    Rewritten rewritten = RunRewrite(before, c.produce, counting.ops(), c.limit);
    EXPECT_FALSE(rewritten.outcome.ok);
    EXPECT_EQ(rewritten.outcome.error, platform::kNotEnoughMemory);
    EXPECT_EQ(counting.writes + counting.truncates, 0);
    EXPECT_EQ(rewritten.after, before);
  }
  EXPECT_TRUE(RunRewrite(before, Producing(Longer), SystemFileOps(), 6).outcome.ok);
}

// The new content goes to the file as it comes: memory that runs out once
// part of it is written has the original written back.
TEST(RewriteInPlace, RunningOutOfMemoryAfterWritingBeganPutsTheOriginalBack) {
  const std::string before(100000, 'o');
  FailingFileOps counting;
  Rewritten rewritten = RunRewrite(
      before,
      [](std::string_view, const PieceSink& sink) {
        sink(std::string(70000, 'n'));
        return Production::OutOfMemory;
      },
      counting.ops());
  EXPECT_FALSE(rewritten.outcome.ok);
  EXPECT_FALSE(rewritten.outcome.damaged);
  EXPECT_EQ(rewritten.outcome.error, platform::kNotEnoughMemory);
  EXPECT_EQ(counting.writes, 3);  // the journal, the piece, the write-back
  EXPECT_TRUE(rewritten.after == before);
  EXPECT_EQ(rewritten.journal.state, Journal::Missing);
}

// The output of a kept template: made when missing, rewritten in place
// (the same file) when there, and one file under two names is told.
TEST(RewriteOutputFile, MakesAMissingFileAndRewritesAnExistingOneInPlace) {
  TempDir dir;
  auto making = [](std::string text) {
    return [text](std::string_view, const PieceSink& sink) {
      return sink(text) ? Production::Done : Production::Stopped;
    };
  };
  const std::string made = dir.Path("made.txt");
  EXPECT_TRUE(RewriteOutputFile(made, making("new\r\n")).ok);
  EXPECT_EQ(ReadBytes(made), "new\r\n");

  const std::string kept = dir.Write("kept.txt", "a much longer original\r\n");
  const std::string link = dir.Path("link.txt");
  std::filesystem::create_hard_link(kept, link);
  EXPECT_TRUE(RewriteOutputFile(link, making("x\r\n")).ok);
  EXPECT_EQ(ReadBytes(kept), "x\r\n");  // the same file, not a replacement
  EXPECT_TRUE(SameFile(kept, link));
  EXPECT_FALSE(SameFile(kept, made));
  EXPECT_FALSE(SameFile(kept, dir.Path("missing.txt")));
  // Either name that cannot be looked at makes them two.
  for (int failing : {1, 2}) {
    FailingFileOps unidentified(FaultPlan{.identify = failing});
    EXPECT_FALSE(SameFile(kept, link, unidentified.ops())) << failing;
  }

  FailingFileOps refusing(FaultPlan{.error = 13});
  FileOps ops = refusing.ops();
  ops.create_output = [](const std::string&) { return platform::ErrorCode{13}; };
  RewriteOutcome outcome = RewriteOutputFile(dir.Path("denied.txt"), making("y"), ops);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, 13u);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("denied.txt")));
}

}  // namespace
}  // namespace kelmora::store
