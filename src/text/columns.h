// Text measured in the columns a terminal shows it in, character by
// character as the build's text rule walks it (FirstCharExtent): in code
// page 866 a byte is a character one column wide; in UTF-8 a character
// takes 0, 1 or 2 columns. A character of no column stays with the one
// before it.
#pragma once

#include <string>
#include <string_view>

namespace kelmora::text {

// The columns `text` takes.
int Columns(std::string_view text);

// The first whole character of `text`; empty when `text` is.
std::string_view LeadingChar(std::string_view text);

// Columns [from, from + count) of `text` (from, count >= 0): the characters
// that lie wholly in them, each with the characters of no column after it,
// and one `fill` for every column of the span that a character lies only
// partly in. So the result is `count` columns wide while the span lies
// within the text, and never cuts a character.
std::string ColumnSpan(std::string_view text, int from, int count, std::string_view fill);

}  // namespace kelmora::text
