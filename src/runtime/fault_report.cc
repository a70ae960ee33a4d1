#include "runtime/fault_report.h"

#include <array>
#include <atomic>
#include <exception>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "text/number.h"
#include "runtime/runtime.h"

namespace kelmora::runtime {
namespace {

// Searched in this order; the first matching code gives the number.
constexpr std::array<std::pair<std::uint32_t, int>, 14> kExceptionFaults = {{
    {0xC000008C, 201},  // array bounds exceeded
    {0xC000008D, 209},  // floating-point denormal operand
    {0xC000008E, 200},  // floating-point divide by zero
    {0xC000008F, 208},  // floating-point inexact result
    {0xC0000090, 207},  // floating-point invalid operation
    {0xC0000091, 205},  // floating-point overflow
    {0xC0000092, 207},  // floating-point stack check
    {0xC0000093, 206},  // floating-point underflow
    {0xC0000094, 200},  // integer divide by zero
    {0xC0000095, 215},  // integer overflow
    {0xC0000096, 218},  // privileged instruction
    {0xC0000005, 216},  // access violation
    {0xC00000FD, 202},  // stack overflow
    {0xC000013A, 217},  // control-C exit
}};

constexpr char kAskToReport[] =
    "kelmora stopped on an internal fault; please report the line below to "
    "the maintainer of kelmora.\r\n";

std::atomic<int> g_threads_numbered{0};
// 0 until the thread first asks; a plain int so that a signal handler may
// read it.
thread_local int t_thread_number = 0;

// Shared by the platform's fault handler, RunTimeFault and the allocation
// and terminate handlers; never returns.
[[noreturn]] void ReportFault(const FaultDetails& fault) {
  // A fault raised while the exit procedures run (one of them faulting, or
  // memory running out in one) is reported without running them again.
  static std::atomic<bool> reporting{false};
  if (!reporting.exchange(true)) RunExitProcedures();
  text::ShortString report = FaultReportText(fault);
  platform::WriteStandardError(report.data(), report.size());
  platform::ExitProcess(fault.number);
}

void OnPlatformFault(const platform::Fault& fault) {
  FaultDetails details;
  details.number = fault.fault_number;
  if (details.number == 0)
    details.number = FaultNumberForException(fault.exception_code.value_or(0));
  details.address = fault.address;
  details.exception_code = fault.exception_code;
  details.thread = RuntimeThreadNumber();
  ReportFault(details);
}

void OnAllocationFailure() { RunTimeFault(kFaultOutOfMemory); }

void OnTerminate() { RunTimeFault(kFaultUnknown); }

}  // namespace

int RuntimeThreadNumber() {
  if (t_thread_number == 0) t_thread_number = ++g_threads_numbered;
  return t_thread_number;
}

void InstallFaultReport() {
  RuntimeThreadNumber();
  platform::InstallFaultHandler(OnPlatformFault);
  std::set_new_handler(OnAllocationFailure);
  std::set_terminate(OnTerminate);
}

AllocationFailuresThrow::AllocationFailuresThrow() : previous_(std::set_new_handler(nullptr)) {}

AllocationFailuresThrow::~AllocationFailuresThrow() { std::set_new_handler(previous_); }

// Not inlined: the reported address is where this function was called from.
[[gnu::noinline]] void RunTimeFault(int number) {
  FaultDetails details;
  details.number = number;
  details.address = platform::CallerAddress();
  details.thread = RuntimeThreadNumber();
  ReportFault(details);
}

int FaultNumberForException(std::uint32_t code) {
  for (const auto& [exception_code, number] : kExceptionFaults)
    if (exception_code == code) return number;
  return kFaultUnknown;
}

text::ShortString FaultReportText(const FaultDetails& fault) {
  text::ShortString report("\r\n");
  report += kAskToReport;
  report += "Found bug number ";
  report += text::IntToStr(fault.number).view();
  report += " at ";
  report += text::HexDigits(static_cast<std::uint32_t>(fault.address), 8).view();
  if (fault.exception_code) {
    report += " (Exception ";
    report += text::HexDigits(*fault.exception_code, 8).view();
    report += ")";
  }
  report += " TID=";
  report += text::IntToStr(fault.thread).view();
  report += ".\r\n";
  return report;
}

}  // namespace kelmora::runtime
