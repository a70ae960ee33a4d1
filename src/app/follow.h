// --follow: the template filled into its output, then again whenever the
// text it would write changes, until a stop request.
#pragma once

#include "app/options.h"

namespace kelmora::app {

// Fills options.template_path into *options.output as a single run does
// (its exits included), then waits for the song, the files or the counter
// to change and writes the new text whenever it differs from the last one
// written. Faults are said once per change of state, and it goes on; a
// stop request ends the process with exit code 0 once a write is complete.
[[noreturn]] void Follow(const Options& options);

}  // namespace kelmora::app
