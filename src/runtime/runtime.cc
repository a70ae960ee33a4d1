#include "runtime/runtime.h"

#include <vector>

#include "platform/platform.h"

namespace kelmora::runtime {
namespace {

std::vector<ExitProcedure>& ExitProcedures() {
  static std::vector<ExitProcedure> procedures;
  return procedures;
}

}  // namespace

void AddExitProcedure(ExitProcedure procedure) { ExitProcedures().push_back(procedure); }

void RunExitProcedures() {
  auto& procedures = ExitProcedures();
  // Taken off the list before it runs, so that a procedure that halts or
  // faults is never run a second time.
  while (!procedures.empty()) {
    ExitProcedure procedure = procedures.back();
    procedures.pop_back();
    procedure();
  }
}

void Halt(int code) {
  RunExitProcedures();
  platform::ExitProcess(code);
}

}  // namespace kelmora::runtime
