// The program's command line. Its words are used whole, however long: a
// path is never cut.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelmora::runtime {

// Splits a raw command line into words (word 0 the program name as typed):
// separators are bytes 0x01-0x20, double quotes group and are dropped, a word
// that begins with two double quotes loses them.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Argument 0 is the full path of the executable; arguments 1.. are the words
// after the program name.
std::vector<std::string> CommandArguments();

}  // namespace kelmora::runtime
