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

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  g_fault_raised = true;
  Fault fault;
  fault.exception_code = static_cast<std::uint32_t>(record->ExceptionCode);
  fault.address = OffsetFromLoadAddress(reinterpret_cast<std::uintptr_t>(record->ExceptionAddress));
  if (g_fault_handler != nullptr) g_fault_handler(fault);
  // Only reached without a handler: the system ends the process with the
  // exception code.
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

bool FaultBeingReported() { return g_fault_raised; }

void InstallFaultHandler(FaultHandler handler) {
  g_fault_handler = handler;
  // After a stack overflow the handler runs on what is left of the stack;
  // keep enough in reserve for the exit procedures and the report.
  ULONG reserve = 64 * 1024;
  ::SetThreadStackGuarantee(&reserve);
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
