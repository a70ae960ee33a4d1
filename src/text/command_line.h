// The program's command line as short strings.
#pragma once

#include <string_view>
#include <vector>

#include "text/bounded_string.h"

namespace kelmora::text {

// Splits a raw command line into words (word 0 the program name as typed):
// separators are bytes 0x01-0x20, double quotes group and are dropped, a word
// that begins with two double quotes loses them, words are cut at 255.
std::vector<ShortString> SplitCommandLine(std::string_view line);

// Argument 0 is the full path of the executable; arguments 1.. are the words
// after the program name.
std::vector<ShortString> CommandArguments();

}  // namespace kelmora::text
