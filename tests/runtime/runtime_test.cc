#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"

namespace kelmora::runtime {
namespace {

std::vector<int> g_ran;
void First() { g_ran.push_back(1); }
void Second() { g_ran.push_back(2); }

TEST(RunExitProcedures, RunsTheLatestFirstAndEachOnce) {
  g_ran.clear();
  AddExitProcedure(First);
  AddExitProcedure(Second);
  RunExitProcedures();
  EXPECT_EQ(g_ran, (std::vector<int>{2, 1}));
  RunExitProcedures();
  EXPECT_EQ(g_ran.size(), 2u);
}

void SayFirst() { platform::WriteStandardError("first;", 6); }
void SaySecond() { platform::WriteStandardError("second;", 7); }

TEST(Halt, RunsTheExitProceduresThenEndsWithTheCode) {
  EXPECT_EXIT(
      {
        AddExitProcedure(SayFirst);
        AddExitProcedure(SaySecond);
        Halt(7);
      },
      ::testing::ExitedWithCode(7), "second;first;");
}

}  // namespace
}  // namespace kelmora::runtime
