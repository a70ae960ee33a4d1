// The run: banner, command line, settings, file check, the table of values,
// the template pass; ends the process with its exit code.
#pragma once

namespace kelmora::app {

// Exit codes of the run.
enum ExitCode : int {
  kExitOk = 0,
  kExitNoSettings = 1,
  kExitCommandLine = 2,
  kExitFileNotFound = 3,
  kExitNotRewritten = 4,
  // The file may be damaged: its original bytes could not be written back.
  kExitDamaged = 5,
};

[[noreturn]] void Run();

}  // namespace kelmora::app
