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
using store::FileStream;
using store::kOpenReadWrite;
using store::ReadBytes;
using text::TempDir;

void KeepLine(std::string&) {}

struct Rewrite {
  store::RewriteOutcome outcome;
  std::string after;
  // What the pass left beside the file.
  store::Journal journal;
};

// Runs the pass over a file holding `before`.
Rewrite RunPass(const std::string& before, const LineEvaluator& evaluate,
                const store::FileOps& ops = store::SystemFileOps(),
                std::size_t memory_limit = store::kNoMemoryLimit) {
  TempDir dir;
  std::string path = dir.Write("template.txt", before);
  Rewrite rewrite;
  {
    FileStream stream(path, kOpenReadWrite, 4096, ops);
    rewrite.outcome = ProcessTemplate(stream, evaluate, memory_limit);
  }
  rewrite.after = ReadBytes(path);
  rewrite.journal = store::JournalBeside(path);
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
  Rewrite rewrite = RunPass(before, [](std::string& line) { line.append(20, '+'); });
  EXPECT_TRUE(rewrite.outcome.ok);
  EXPECT_EQ(rewrite.after, after);
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
  Rewrite rewrite = RunPass(
      before, [](std::string&) { throw std::bad_alloc(); }, counting.ops());
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
  Rewrite rewrite = RunPass(
      before,
      [](std::string& line) {
        if (line == "the last line") throw std::bad_alloc();
      },
      counting.ops());
  EXPECT_FALSE(rewrite.outcome.ok);
  EXPECT_FALSE(rewrite.outcome.damaged);
  EXPECT_EQ(rewrite.outcome.error, platform::kNotEnoughMemory);
  EXPECT_GT(counting.writes, 2);  // the journal, pieces of the result, the write-back
  EXPECT_TRUE(rewrite.after == before);
  EXPECT_EQ(rewrite.journal.state, store::Journal::Missing);
}

}  // namespace
}  // namespace kelmora::templating
