// The colour markup writer: "~XX~" switches the text attribute to the
// hexadecimal XX until the end of the call, "~~" writes one tilde.
#pragma once

#include <cstdint>

#include "text/bounded_string.h"

namespace kelmora::console {

// Writes `text` to the console, interpreting colour codes; the attribute
// found on entry is current again on return. A malformed code sets 0.
void WriteMarkup(text::ShortString text);

// The value of a hexadecimal text with "$", "0x", "h" decorations allowed;
// 0 for any text that is not one.
std::int32_t HexToInt(text::ShortString text);

}  // namespace kelmora::console
