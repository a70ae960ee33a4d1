#include "template/template_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/failing_file_ops.h"
#include "text/temp_dir.h"

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
};

// Runs the pass over a file holding `before`.
Rewrite RunPass(const std::string& before, const LineEvaluator& evaluate,
                const store::FileOps& ops = store::SystemFileOps(),
                std::size_t memory_limit = store::MemoryStream::kNoLimit) {
  TempDir dir;
  std::string path = dir.Write("template.txt", before);
  PassOutcome outcome;
  {
    FileStream stream(path, kOpenReadWrite, 4096, ops);
    outcome = ProcessTemplate(stream, evaluate, memory_limit);
  }
  return {outcome, ReadBytes(path)};
}

TEST(ProcessTemplate, WritesEveryLineBackWithCrLf) {
  const std::string k1024(1024, 'x');
  struct Case {
    std::string before, after;
  };
  const Case cases[] = {
      {"a", "a\r\n"},
      {"a\n\rb\rc\r\rd\n", "a\r\nb\r\nc\r\n\r\nd\r\n"},
      {"a\r\n\r\n", "a\r\n\r\n"},
      {"a\0b\0\r\nc"s, "a\0b\0\r\nc\r\n"s},
      {std::string(1500, 'y'), std::string(1024, 'y') + "\r\n" + std::string(476, 'y') + "\r\n"},
      {k1024 + "\n" + k1024, k1024 + "\r\n" + k1024 + "\r\n"},
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
    before += std::to_string(i) + "\n";
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

TEST(ProcessTemplate, EachFailingWriteLeavesTheOriginalBytes) {
  for (const std::string& before : FaultTemplates()) {
    FailingFileOps counting;
    ASSERT_TRUE(RunPass(before, TrimOrGrow, counting.ops()).outcome.ok);
    ASSERT_GE(counting.writes, 3);
    for (std::size_t partial : {0u, 100u}) {
      for (int failing = 1; failing <= counting.writes; ++failing) {
        SCOPED_TRACE("write " + std::to_string(failing) + " of " +
                     std::to_string(counting.writes) + ", partial " + std::to_string(partial));
        FailingFileOps fake(
            FaultPlan{.write = failing, .written_before_failure = partial, .error = 28});
        Rewrite rewrite = RunPass(before, TrimOrGrow, fake.ops());
        EXPECT_FALSE(rewrite.outcome.ok);
        EXPECT_EQ(rewrite.outcome.error, 28u);
        EXPECT_TRUE(rewrite.after == before) << "the file was left different";
      }
    }
  }
}

TEST(ProcessTemplate, FailingTruncationLeavesTheOriginalBytes) {
  for (const std::string& before : FaultTemplates()) {
    FailingFileOps fake(FaultPlan{.truncate = 1, .error = 5});
    Rewrite rewrite = RunPass(before, TrimOrGrow, fake.ops());
    EXPECT_FALSE(rewrite.outcome.ok);
    EXPECT_EQ(rewrite.outcome.error, 5u);
    EXPECT_TRUE(rewrite.after == before) << "the file was left different";
    EXPECT_EQ(fake.truncates, 2);
  }
}

TEST(ProcessTemplate, FailingReadSeekOrSizeFailsWithoutWriting) {
  const std::string before = FaultTemplates()[0];
  const FaultPlan plans[] = {
      FaultPlan{.read = 1, .error = 5},
      FaultPlan{.read = 3, .error = 5},
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
  const std::string before = "a\nb\nc\n";  // 6 bytes, 9 once rewritten
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
}

}  // namespace
}  // namespace kelmora::templating
