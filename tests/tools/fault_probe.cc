// fault_probe KIND: commits the deliberate run-time fault KIND, so that a
// test can check the exit code and the report on standard error.
//   null-write  divide-by-zero  deep-recursion  huge-allocation  raised
// An exit procedure writes "exit procedures ran\r\n" to standard error, which
// shows that the exit procedures run before the report is written.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "runtime/fault_report.h"
#include "runtime/runtime.h"

namespace {

using kelmora::runtime::RunTimeFault;

void SayExitProceduresRan() {
  const char text[] = "exit procedures ran\r\n";
  kelmora::platform::WriteStandardError(text, sizeof text - 1);
}

// Volatile, so that the compiler can neither see the fault coming nor
// replace it by a trap of its own.
int* volatile g_null = nullptr;
volatile int g_zero = 0;
volatile int g_one = 1;
volatile std::size_t g_huge = SIZE_MAX / 2;
volatile int g_never = -1;

int NullWrite() {
  *g_null = 1;
  return 0;
}

int DivideByZero() { return g_one / g_zero; }

// Each frame holds a buffer it reads after the call, so the recursion can be
// neither flattened nor turned into a loop.
int Recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (depth == g_never) return 0;
  return Recurse(depth + 1) + frame[0];
}

int HugeAllocation() {
  auto* block = static_cast<volatile char*>(::operator new(g_huge));
  block[0] = 1;
  return block[0];
}

}  // namespace

int main(int argc, char** argv) {
  kelmora::platform::Init(argc, argv);
  kelmora::runtime::InstallFaultReport();
  kelmora::runtime::AddExitProcedure(SayExitProceduresRan);
  if (argc != 2) {
    std::fputs(
        "usage: fault_probe null-write|divide-by-zero|deep-recursion|"
        "huge-allocation|raised\n",
        stderr);
    return 2;
  }
  const char* kind = argv[1];
  int result = 0;
  if (std::strcmp(kind, "null-write") == 0)
    result = NullWrite();
  else if (std::strcmp(kind, "divide-by-zero") == 0)
    result = DivideByZero();
  else if (std::strcmp(kind, "deep-recursion") == 0)
    result = Recurse(0);
  else if (std::strcmp(kind, "huge-allocation") == 0)
    result = HugeAllocation();
  else if (std::strcmp(kind, "raised") == 0)
    RunTimeFault(213);
  else
    return 2;
  // Reached only when the fault did not end the run.
  std::printf("no fault: %d\n", result);
  return 0;
}
