#include "template/template_pass.h"

#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "store/failing_file_ops.h"
#include "store/journal.h"
#include "text/temp_dir.h"
#include "text/text_rules.h"

namespace kelmora::templating {
namespace {

using namespace std::string_literals;
using store::FailingFileOps;
using store::FaultPlan;
using store::FileStream;
using store::kOpenReadWrite;
using store::ReadBytes;
using text::TempDir;

void KeepLine(std::string&) {}

struct Rewrite {
  PassOutcome outcome;
  std::string after;
  // What the pass left beside the file.
  store::Journal journal;
  // The file once the next run's start has recovered it.
  std::string recovered;
};

// Runs the pass over a file holding `before`.
Rewrite RunPass(const std::string& before, const LineEvaluator& evaluate,
                const store::FileOps& ops = store::SystemFileOps(),
                std::size_t memory_limit = store::MemoryStream::kNoLimit) {
  TempDir dir;
  std::string path = dir.Write("template.txt", before);
  Rewrite rewrite;
  {
    FileStream stream(path, kOpenReadWrite, 4096, ops);
    rewrite.outcome = ProcessTemplate(stream, evaluate, memory_limit);
  }
  rewrite.after = ReadBytes(path);
  rewrite.journal = store::ReadJournal(store::JournalPath(path), store::SystemFileOps());
  store::RecoverFromJournal(path, store::SystemFileOps());
  rewrite.recovered = ReadBytes(path);
  return rewrite;
}

// A file with any CR in it is written back with CR LF after every line;
// one without, with the build's own line end.
TEST(ProcessTemplate, WritesEveryLineBackWithTheLineEndOfTheFile) {
  const std::string k1024(1024, 'x');
  const std::string own(text::kNativeText.line_end);
  struct Case {
    std::string before, after;
  };
  const Case cases[] = {
      {"a", "a" + own},
      {"a\nb\n", "a" + own + "b" + own},
      {"a\n\nb", "a" + own + own + "b" + own},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\r\n\r\n", "a\r\n\r\n"},
      {"a\rb\rc", "a\r\nb\r\nc\r\n"},
      // One CR anywhere decides for the whole file.
      {"a\nb\nc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
      {"a\n\rb\rc\r\rd\n", "a\r\nb\r\nc\r\n\r\nd\r\n"},
      {"a\0b\0\r\nc"s, "a\0b\0\r\nc\r\n"s},
      {std::string(1500, 'y'), std::string(1024, 'y') + own + std::string(476, 'y') + own},
      {k1024 + "\n" + k1024, k1024 + own + k1024 + own},
      {k1024 + "z\n", k1024 + own + "z" + own},
      {k1024 + "z\r\n", k1024 + "\r\nz\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.before.substr(0, 16)));
    Rewrite rewrite = RunPass(c.before, KeepLine);
    EXPECT_TRUE(rewrite.outcome.ok);
    EXPECT_EQ(rewrite.after, c.after);
  }
}

TEST(ProcessTemplate, LeavesAnEmptyFileUnwritten) {
  FailingFileOps counting;
  int lines = 0;
  Rewrite rewrite = RunPass("", [&](std::string&) { ++lines; }, counting.ops());
  EXPECT_TRUE(rewrite.outcome.ok);
  EXPECT_EQ(rewrite.after, "");
  EXPECT_EQ(lines, 0);
  EXPECT_EQ(counting.writes + counting.truncates, 0);
}

TEST(ProcessTemplate, EvaluatesEachLineOnceInFileOrder) {
  std::vector<std::string> seen;
  Rewrite rewrite = RunPass("one\ntwo\r\n\r\nfour", [&](std::string& line) {
    seen.push_back(line);
    line = "<" + line + ">";
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "", "four"}));
  EXPECT_EQ(rewrite.after, "<one>\r\n<two>\r\n<>\r\n<four>\r\n");
}

TEST(ProcessTemplate, ShorterResultLeavesNothingOfTheOldContent) {
  std::string before;
  for (int i = 0; i < 500; ++i) before += "a rather long line of the template\r\n";
  Rewrite rewrite = RunPass(before, [](std::string& line) { line.resize(1); });
  std::string after;
  for (int i = 0; i < 500; ++i) after += "a\r\n";
  EXPECT_EQ(rewrite.after, after);
}

TEST(ProcessTemplate, LongerResultGrowsTheFile) {
  std::string before, after;
  for (int i = 0; i < 3000; ++i) {
    before += std::to_string(i) + "\r\n";
    after += std::to_string(i) + std::string(20, '+') + "\r\n";
  }
  Rewrite rewrite =
      RunPass(before, [](std::string& line) { line.append(20, '+'); });
  EXPECT_TRUE(rewrite.outcome.ok);
  EXPECT_EQ(rewrite.after, after);
}

TEST(ProcessTemplate, FileThatDidNotOpenFailsWithTheOpenError) {
  FailingFileOps fake(FaultPlan{.open = 1, .error = 32});
  Rewrite rewrite = RunPass("keep\n", KeepLine, fake.ops());
  EXPECT_FALSE(rewrite.outcome.ok);
  EXPECT_EQ(rewrite.outcome.error, 32u);
  EXPECT_EQ(rewrite.after, "keep\n");
}

// Contents whose rewrite takes several buffer-fulls of writes, once shorter
// and once longer than the original, so a failure can strike the file at
// any point of either.
std::vector<std::string> FaultTemplates() {
  std::string shrinking, growing;
  for (int i = 0; i < 2000; ++i) {
    shrinking += "line " + std::to_string(i) + "   \r\n";
    growing += "line " + std::to_string(i) + "\n";
  }
  return {shrinking, growing};
}

void TrimOrGrow(std::string& line) {
  if (line.size() > 3 && line[line.size() - 1] == ' ')
    line.resize(line.size() - 3);
  else
    line.append("!!");
}

// Every call of the write path (journal, file, write-back) fails in turn,
// once or from then on: the file ends as the original or the new content,
// and while it is neither, a complete journal holds the original.
TEST(ProcessTemplate, AFailureAnywhereOnTheWritePathLeavesOriginalOrNewContent) {
  for (const std::string& before : FaultTemplates()) {
    FailingFileOps counting;
    const std::string after = RunPass(before, TrimOrGrow, counting.ops()).after;
    // The file is read with one call and written with one, after the
    // journal's one.
    EXPECT_EQ(counting.reads, 1);
    EXPECT_EQ(counting.writes, 2);
    const std::pair<int FaultPlan::*, int> kinds[] = {
        {&FaultPlan::create, counting.creates},     {&FaultPlan::write, counting.writes},
        {&FaultPlan::flush, counting.flushes},      {&FaultPlan::truncate, counting.truncates},
        {&FaultPlan::remove, counting.removes},     {&FaultPlan::stamp, counting.stamps},
        {&FaultPlan::seek, counting.seeks},
    };
    for (auto [kind, calls] : kinds) {
      // One call more than a clean run makes: the write-back's.
      for (int failing = 1; failing <= calls + 1; ++failing) {
        for (bool persistent : {false, true}) {
          SCOPED_TRACE(testing::Message() << "call " << failing << " of " << calls
                                          << (persistent ? ", persistent" : ""));
          FaultPlan plan{.written_before_failure = 100, .error = 28, .persistent = persistent};
          plan.*kind = failing;
          FailingFileOps fake(plan);
          Rewrite rewrite = RunPass(before, TrimOrGrow, fake.ops());
          if (rewrite.outcome.ok) {
            EXPECT_TRUE(rewrite.after == after);
          } else if (!rewrite.outcome.damaged) {
            EXPECT_TRUE(rewrite.after == before);
          }
          if (rewrite.after != before && rewrite.after != after) {
            EXPECT_TRUE(rewrite.outcome.damaged);
            EXPECT_EQ(rewrite.journal.state, store::JournalState::Complete);
          }
          if (rewrite.journal.state != store::JournalState::Missing) {
            EXPECT_EQ(rewrite.journal.state, store::JournalState::Complete);
            EXPECT_TRUE(rewrite.journal.original == before);
          }
          EXPECT_TRUE(rewrite.recovered == before || rewrite.recovered == after);
        }
      }
    }
  }
}

TEST(ProcessTemplate, FailuresOnTheWritePathAreReportedAsTheyEnd) {
  const std::string before = FaultTemplates()[1];
  const std::string after = RunPass(before, TrimOrGrow).after;
  struct Case {
    const char* what;
    FaultPlan plan;
    bool ok, damaged;
    const std::string& left;
    store::JournalState journal;
  };
  // A clean run's writes: the journal, then the file.
  const Case cases[] = {
      {"no journal: written in place", {.create = 1}, true, false, after,
       store::JournalState::Missing},
      {"journal cut short: removed, written in place", {.write = 1}, true, false, after,
       store::JournalState::Missing},
      {"file write fails: written back", {.write = 2}, false, false, before,
       store::JournalState::Missing},
      {"flush of the file fails: written back", {.flush = 2}, false, false, before,
       store::JournalState::Missing},
      // Both writes stop after the same 100 bytes, so the file happens to
      // be whole; the pass cannot know that.
      {"write-back fails too: journal kept",
       {.write = 2, .written_before_failure = 100, .persistent = true}, false, true, before,
       store::JournalState::Complete},
      {"journal not removed: the next run restores the original", {.remove = 1}, true,
       false, after, store::JournalState::Complete},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultPlan plan = c.plan;
    plan.error = 28;
    FailingFileOps fake(plan);
    Rewrite rewrite = RunPass(before, TrimOrGrow, fake.ops());
    EXPECT_EQ(rewrite.outcome.ok, c.ok);
    EXPECT_EQ(rewrite.outcome.damaged, c.damaged);
    EXPECT_EQ(rewrite.outcome.error, c.ok ? 0u : 28u);
    EXPECT_TRUE(rewrite.after == c.left);
    EXPECT_EQ(rewrite.journal.state, c.journal);
    EXPECT_EQ(rewrite.outcome.journal.empty(), !c.damaged);
  }
}

TEST(ProcessTemplate, AFileChangedDuringThePassIsNotWritten) {
  TempDir dir;
  std::string path = dir.Write("template.txt", "one\ntwo\n");
  PassOutcome outcome;
  {
    FileStream stream(path, kOpenReadWrite, 4096);
    outcome = ProcessTemplate(stream, [&](std::string&) {
      std::ofstream(path, std::ios::binary | std::ios::app) << "three\n";
    });
  }
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, platform::kFileChanged);
  EXPECT_EQ(ReadBytes(path), "one\ntwo\nthree\nthree\n");
  EXPECT_EQ(store::ReadJournal(store::JournalPath(path), store::SystemFileOps()).state,
            store::JournalState::Missing);
}

TEST(ProcessTemplate, FailingReadSeekOrSizeFailsWithoutWriting) {
  const std::string before = FaultTemplates()[0];
  const FaultPlan plans[] = {
      FaultPlan{.read = 1, .error = 5},
      FaultPlan{.stamp = 1, .error = 5},
      FaultPlan{.seek = 1, .error = 5},
      FaultPlan{.size = 1, .error = 5},
  };
  for (const FaultPlan& plan : plans) {
    FailingFileOps fake(plan);
    Rewrite rewrite = RunPass(before, TrimOrGrow, fake.ops());
    EXPECT_FALSE(rewrite.outcome.ok);
    EXPECT_EQ(rewrite.outcome.error, 5u);
    EXPECT_EQ(fake.writes + fake.truncates, 0);
    EXPECT_TRUE(rewrite.after == before);
  }
}

TEST(ProcessTemplate, RunningOutOfMemoryFailsWithoutWriting) {
  const std::string before = "a\rb\nc\n";  // 6 bytes, 9 once rewritten with CR LF
  for (std::size_t limit : {0u, 5u, 6u, 8u}) {
    SCOPED_TRACE(limit);
    FailingFileOps counting;
    Rewrite rewrite = RunPass(before, KeepLine, counting.ops(), limit);
    EXPECT_FALSE(rewrite.outcome.ok);
    EXPECT_EQ(rewrite.outcome.error, platform::kNotEnoughMemory);
    EXPECT_EQ(counting.writes + counting.truncates, 0);
    EXPECT_EQ(rewrite.after, before);
  }
  EXPECT_TRUE(RunPass(before, KeepLine, store::SystemFileOps(), 9).outcome.ok);

  // Memory the evaluator asks for in vain ends the pass the same way.
  FailingFileOps counting;
  Rewrite rewrite = RunPass(before, [](std::string&) { throw std::bad_alloc(); }, counting.ops());
  EXPECT_FALSE(rewrite.outcome.ok);
  EXPECT_EQ(rewrite.outcome.error, platform::kNotEnoughMemory);
  EXPECT_EQ(counting.writes + counting.truncates, 0);
  EXPECT_EQ(rewrite.after, before);
}

// The result goes to the file as it comes: memory that runs out once part
// of it is written has the original written back.
TEST(ProcessTemplate, RunningOutOfMemoryAfterWritingBeganPutsTheOriginalBack) {
  std::string before;
  while (before.size() < 2 * kTextPiece) before += "a line of the template\n";
  before += "the last line\n";
  FailingFileOps counting;
  Rewrite rewrite = RunPass(before, [](std::string& line) {
    if (line == "the last line") throw std::bad_alloc();
  }, counting.ops());
  EXPECT_FALSE(rewrite.outcome.ok);
  EXPECT_FALSE(rewrite.outcome.damaged);
  EXPECT_EQ(rewrite.outcome.error, platform::kNotEnoughMemory);
  EXPECT_GT(counting.writes, 2);  // the journal, pieces of the result, the write-back
  EXPECT_TRUE(rewrite.after == before);
  EXPECT_EQ(rewrite.journal.state, store::JournalState::Missing);
}

}  // namespace
}  // namespace kelmora::templating
