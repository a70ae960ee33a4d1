// What --help and --version print, to standard output, before the
// settings are read.
#pragma once

namespace kelmora::app {

// The usage, the options, where the settings are looked for and the exit
// codes, in under 25 lines.
void WriteHelp();

// "kelmora <version>", then the licences (LICENSES.txt, compiled in).
void WriteVersion();

// The usage line of a command-line error that named options: the options
// listed.
const char* OptionsUsage();

}  // namespace kelmora::app
