// The exit codes of a run; only the run sequence ends the process with one.
#pragma once

namespace kelmora::app {

enum ExitCode : int {
  kExitOk = 0,
  kExitNoSettings = 1,
  kExitCommandLine = 2,
  kExitFileNotFound = 3,
  kExitNotRewritten = 4,
  // The file may be damaged: its original bytes could not be written back.
  kExitDamaged = 5,
};

}  // namespace kelmora::app
