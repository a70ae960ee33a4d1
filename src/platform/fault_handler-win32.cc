// Faults on Windows: an unhandled exception, turned into the fault report's
// address; the caller's address for faults raised on purpose.
#include "platform/platform.h"

#include "platform/win32.h"

#include <atomic>

// The linker's symbol at the image's load address.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kelmora::platform {

namespace {

std::atomic<bool> g_fault_raised{false};

std::uintptr_t OffsetFromLoadAddress(std::uintptr_t address) {
  auto base = reinterpret_cast<std::uintptr_t>(&__ImageBase);
  return address >= base ? address - base : address;
}

FaultHandler g_fault_handler = nullptr;

// A stack overflow leaves the handler too little stack for the report,
// however much SetThreadStackGuarantee asked for (Wine gives none). So the
// main thread is a fiber, with a second fiber made in advance: the handler
// switches to it, and the report runs there, on a stack of its own, in the
// same thread (its thread-local data and ID unchanged).
constexpr SIZE_T kReportStack = 256 * 1024;
DWORD g_main_thread = 0;
LPVOID g_report_fiber = nullptr;
Fault g_fault_to_report;

void WINAPI ReportOnFiber(LPVOID /*unused*/) { g_fault_handler(g_fault_to_report); }

void PrepareReportFiber() {
  g_main_thread = ::GetCurrentThreadId();
  if (::ConvertThreadToFiber(nullptr) == nullptr) return;
  g_report_fiber = ::CreateFiber(kReportStack, ReportOnFiber, nullptr);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  g_fault_raised = true;
  Fault fault;
  fault.exception_code = static_cast<std::uint32_t>(record->ExceptionCode);
  fault.address = OffsetFromLoadAddress(reinterpret_cast<std::uintptr_t>(record->ExceptionAddress));
  if (g_fault_handler != nullptr && record->ExceptionCode == EXCEPTION_STACK_OVERFLOW &&
      g_report_fiber != nullptr && ::GetCurrentThreadId() == g_main_thread) {
    g_fault_to_report = fault;
    ::SwitchToFiber(g_report_fiber);  // does not come back
  }
  if (g_fault_handler != nullptr) g_fault_handler(fault);
  // Only reached without a handler: the system ends the process with the
  // exception code.
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

bool FaultBeingReported() { return g_fault_raised; }

void InstallFaultHandler(FaultHandler handler) {
  g_fault_handler = handler;
  // After a stack overflow the handler runs on what is left of the stack:
  // enough to switch to the report's fiber, or, where it could not be made,
  // for the report itself.
  ULONG reserve = 64 * 1024;
  ::SetThreadStackGuarantee(&reserve);
  PrepareReportFiber();
  ::SetUnhandledExceptionFilter(OnUnhandledException);
}

std::uintptr_t CallerAddress() {
  // frames[0] lies in this function, frames[1] in its caller, frames[2] in
  // the code that called the caller. The unwind tables make this work
  // without frame pointers.
  void* frames[3] = {};
  if (::RtlCaptureStackBackTrace(0, 3, frames, nullptr) < 3) return 0;
  return OffsetFromLoadAddress(reinterpret_cast<std::uintptr_t>(frames[2]));
}

}  // namespace kelmora::platform
