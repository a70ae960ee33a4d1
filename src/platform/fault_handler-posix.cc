// Faults on Linux: the signals of a faulting thread, turned into the fault
// report's numbers and addresses; the caller's address for faults raised
// on purpose.
#include "platform/platform.h"

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>
#include <unwind.h>

namespace kelmora::platform {

namespace {

FaultHandler g_fault_handler = nullptr;
std::uintptr_t g_load_address = 0;
// A stack that runs out faults close to the stack pointer of the code that
// ran out: a push or call one word below it, a probe or a store within the
// frame it has just made room for. Nothing else faults there, as the
// stack's pages from the stack pointer up are always mapped.
constexpr std::uintptr_t kStackReachBelow = 256;
constexpr std::uintptr_t kStackReachAbove = std::uintptr_t{1} << 20;

std::uintptr_t OffsetFromLoadAddress(std::uintptr_t address) {
  return address >= g_load_address ? address - g_load_address : address;
}

void FindLoadAddress() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&FindLoadAddress), &info) != 0)
    g_load_address = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

// The interrupted code's instruction and stack pointers; zeros where the
// architecture is not known.
struct FaultRegisters {
  std::uintptr_t instruction = 0;
  std::uintptr_t stack = 0;
};

FaultRegisters RegistersAtFault(const void* context) {
  const auto& machine = static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__x86_64__)
  return {static_cast<std::uintptr_t>(machine.gregs[REG_RIP]),
          static_cast<std::uintptr_t>(machine.gregs[REG_RSP])};
#elif defined(__aarch64__)
  return {machine.pc, machine.sp};
#else
  (void)machine;
  return {};
#endif
}

// Judged at the fault from the registers alone, so that start-up pays
// nothing for it (the C library finds the stack's bounds by reading
// /proc/self/maps).
bool IsStackOverflow(int signal_number, const siginfo_t* info, std::uintptr_t stack_pointer) {
  if (signal_number != SIGSEGV || stack_pointer == 0) return false;
  auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  return address + kStackReachBelow >= stack_pointer && address < stack_pointer + kStackReachAbove;
}

int FaultNumberForSignal(int signal_number, const siginfo_t* info, std::uintptr_t stack_pointer) {
  if (IsStackOverflow(signal_number, info, stack_pointer)) return 202;
  switch (signal_number) {
    case SIGSEGV:
    case SIGBUS: return 216;
    case SIGFPE: return 200;
    default: return 217;
  }
}

struct Frames {
  void** at;
  int wanted;
  int count = 0;
};

_Unwind_Reason_Code CollectFrame(struct _Unwind_Context* context, void* frames_argument) {
  auto* frames = static_cast<Frames*>(frames_argument);
  if (frames->count == frames->wanted) return _URC_END_OF_STACK;
  frames->at[frames->count++] = reinterpret_cast<void*>(_Unwind_GetIP(context));
  return _URC_NO_REASON;
}

// Runs on the alternate stack, so that a stack overflow can be reported.
void OnSignal(int signal_number, siginfo_t* info, void* context) {
  Fault fault;
  FaultRegisters registers = RegistersAtFault(context);
  fault.fault_number = FaultNumberForSignal(signal_number, info, registers.stack);
  fault.address = OffsetFromLoadAddress(registers.instruction);
  if (g_fault_handler != nullptr) g_fault_handler(fault);
  ::_exit(fault.fault_number);
}

}  // namespace

void InstallFaultHandler(FaultHandler handler) {
  g_fault_handler = handler;
  FindLoadAddress();

  static char alternate_stack[64 * 1024];
  stack_t stack = {};
  stack.ss_sp = alternate_stack;
  stack.ss_size = sizeof alternate_stack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action = {};
  action.sa_sigaction = OnSignal;
  // SA_RESETHAND: a fault inside the report ends the process the default way
  // instead of looping.
  action.sa_flags = static_cast<int>(SA_SIGINFO | SA_ONSTACK | SA_RESETHAND);
  ::sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    ::sigaction(signal_number, &action, nullptr);
}

std::uintptr_t CallerAddress() {
  // frames[0] lies in this function, frames[1] in its caller, frames[2] in
  // the code that called the caller. The unwinder is the one linked into
  // the program (no library to load, nothing allocated, so it works when
  // memory has run out) and needs no frame pointers.
  void* at[3] = {};
  Frames frames{at, 3};
  _Unwind_Backtrace(CollectFrame, &frames);
  if (frames.count < 3) return 0;
  return OffsetFromLoadAddress(reinterpret_cast<std::uintptr_t>(at[2]));
}

}  // namespace kelmora::platform
