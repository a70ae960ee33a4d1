#include "text/runtime.h"

#include <vector>

#include "platform/platform.h"

namespace kelmora::text {
namespace {

std::vector<ExitProcedure>& ExitProcedures() {
  static std::vector<ExitProcedure> procedures;
  return procedures;
}

}  // namespace

void AddExitProcedure(ExitProcedure procedure) {
  ExitProcedures().push_back(procedure);
}

void Halt(int code) {
  auto& procedures = ExitProcedures();
  while (!procedures.empty()) {
    ExitProcedure procedure = procedures.back();
    procedures.pop_back();
    procedure();
  }
  platform::ExitProcess(code);
}

void Delay(int milliseconds) { platform::Sleep(milliseconds); }

void Sound(int hertz, int milliseconds) { platform::Tone(hertz, milliseconds); }

}  // namespace kelmora::text
