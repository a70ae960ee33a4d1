// Run-time faults: a fault ends the run with its fault number as the exit
// code, after the exit procedures and a two-line report on standard error.
#pragma once

#include <cstdint>
#include <new>
#include <optional>

#include "text/bounded_string.h"

namespace kelmora::runtime {

// Fault numbers the program raises itself.
inline constexpr int kFaultOutOfMemory = 203;
inline constexpr int kFaultUnknown = 217;

// Routes processor faults, failed allocations and std::terminate into the
// fault report. Call first thing in main: the calling thread becomes thread 1
// of the report.
void InstallFaultReport();

// While one lives, a failed allocation throws std::bad_alloc to the code
// that asked for the memory instead of ending the run with fault 203: for a
// step that reports running out of memory as its own failure.
class AllocationFailuresThrow {
 public:
  AllocationFailuresThrow();
  ~AllocationFailuresThrow();
  AllocationFailuresThrow(const AllocationFailuresThrow&) = delete;
  AllocationFailuresThrow& operator=(const AllocationFailuresThrow&) = delete;

 private:
  std::new_handler previous_;
};

// Ends the run with fault `number`, reported at the address of the caller.
[[noreturn]] void RunTimeFault(int number);

// The fault number of a Windows exception code; kFaultUnknown for a code
// outside the table.
int FaultNumberForException(std::uint32_t code);

struct FaultDetails {
  int number = kFaultUnknown;
  // Offset of the faulting code from the program's load address; only the
  // low 32 bits are shown.
  std::uintptr_t address = 0;
  // The Windows exception behind the fault, when there was one.
  std::optional<std::uint32_t> exception_code;
  int thread = 1;
};

// The text written to standard error: a line break, a line asking for the
// fault to be reported, and the "Found bug number ..." line, CR LF ended.
text::ShortString FaultReportText(const FaultDetails& fault);

// The runtime's number of the calling thread: 1 for the thread that called
// InstallFaultReport, then 2, 3, ... in the order threads first ask.
int RuntimeThreadNumber();

}  // namespace kelmora::runtime
