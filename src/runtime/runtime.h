// The end of the run: exit procedures and Halt.
#pragma once

namespace kelmora::runtime {

using ExitProcedure = void (*)();

// Exit procedures run at Halt and before a fault report, the most recently
// added first.
void AddExitProcedure(ExitProcedure procedure);

// Runs every exit procedure added so far, each once; an exit procedure that
// ends the run itself leaves the older ones to whoever ends it.
void RunExitProcedures();

// Runs the exit procedures and ends the process with `code`.
[[noreturn]] void Halt(int code);

}  // namespace kelmora::runtime
