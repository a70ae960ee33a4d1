// The run: banner, command line, settings, file check, the table of values,
// the template pass; ends the process with its exit code (app/exit_code.h).
#pragma once

#include "app/exit_code.h"

namespace kelmora::app {

[[noreturn]] void Run();

}  // namespace kelmora::app
