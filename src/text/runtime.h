// The end of the run and run-time faults.
#pragma once

#include <cstdint>

namespace kelmora::text {

using ExitProcedure = void (*)();

// Exit procedures run at Halt, the most recently added first.
void AddExitProcedure(ExitProcedure procedure);

// Runs the exit procedures and ends the process with `code`.
[[noreturn]] void Halt(int code);

// Suspends the program for `milliseconds`.
void Delay(int milliseconds);
// Plays a tone (where the platform can) and returns after `milliseconds`.
void Sound(int hertz, int milliseconds);

}  // namespace kelmora::text
