#include "runtime/fault_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

namespace kelmora::runtime {
namespace {

TEST(FaultNumberForException, EdgesOfTheExceptionTable) {
  struct Case {
    std::uint32_t code;
    int number;
  } cases[] = {
      // The ends of the run of floating-point codes, the codes around it,
      // and the codes standing alone.
      {0xC000008C, 201},
      {0xC0000096, 218},
      {0xC000008B, 217},
      {0xC0000097, 217},
      {0xC0000005, 216},
      {0xC0000004, 217},
      {0xC0000006, 217},
      {0xC00000FD, 202},
      {0xC00000FC, 217},
      {0xC00000FE, 217},
      {0xC000013A, 217},
      // Outside the table.
      {0x00000000, 217},
      {0x80000003, 217},
      {0xE06D7363, 217},
      {0xFFFFFFFF, 217},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FaultNumberForException(c.code), c.number) << std::hex << c.code;
}

TEST(FaultReportText, NamesNumberAddressExceptionAndThread) {
  const std::string ask_prefix = "\r\n";
  struct Case {
    FaultDetails fault;
    std::string last_line;
  } cases[] = {
      {{216, 0x1A2B, 0xC0000005, 1},
       "Found bug number 216 at 00001A2B (Exception C0000005) TID=1.\r\n"},
      {{213, 0xDEADBEEF, std::nullopt, 1}, "Found bug number 213 at DEADBEEF TID=1.\r\n"},
      {{203, 0, std::nullopt, 2}, "Found bug number 203 at 00000000 TID=2.\r\n"},
      {{202, 0xABCDEF, 0xC00000FD, 12},
       "Found bug number 202 at 00ABCDEF (Exception C00000FD) TID=12.\r\n"},
      // Only the low 32 bits of an offset are shown.
      {{217,
        static_cast<std::uintptr_t>(0x12345678u) + (sizeof(std::uintptr_t) > 4 ? 0x100000000u : 0),
        0x0000000A, 1},
       "Found bug number 217 at 12345678 (Exception 0000000A) TID=1.\r\n"},
  };
  for (const Case& c : cases) {
    std::string report = FaultReportText(c.fault).str();
    // A line break, one line asking for a report, then the fault line.
    ASSERT_GE(report.size(), 4 + c.last_line.size()) << report;
    EXPECT_EQ(report.substr(0, 2), "\r\n");
    std::size_t ask_end = report.find("\r\n", 2);
    ASSERT_NE(ask_end, std::string::npos);
    EXPECT_GT(ask_end, 2u) << "the asking line is empty";
    EXPECT_NE(report.find("report", 2), std::string::npos);
    EXPECT_EQ(report.substr(ask_end + 2), c.last_line);
  }
}

TEST(RuntimeThreadNumber, IsStablePerThreadAndDistinctAcrossThreads) {
  int here = RuntimeThreadNumber();
  EXPECT_GE(here, 1);
  EXPECT_EQ(RuntimeThreadNumber(), here);
  int other = 0;
  std::thread thread([&other] { other = RuntimeThreadNumber(); });
  thread.join();
  EXPECT_GT(other, here);
}

}  // namespace
}  // namespace kelmora::runtime
