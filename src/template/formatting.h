// The formatting functions of the template language, "@PAD", "@NUM" and
// "@SIZE", and the padding routines they are made of. The handlers
// never fail: any argument gives some text of at most 255 characters.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/bounded_string.h"

namespace kelmora::templating {

// `text` padded to `width` columns (text/columns.h) with one `fill`
// character for each missing column: fill on the left, on the right, or
// split with the odd one on the right. A text at least as wide as the width
// comes back unchanged, never cut.
text::ShortString PadLeft(const text::ShortString& text, std::string_view fill, std::uint8_t width);
text::ShortString PadRight(const text::ShortString& text, std::string_view fill,
                           std::uint8_t width);
text::ShortString PadCenter(const text::ShortString& text, std::string_view fill,
                            std::uint8_t width);

// "@PAD{alignment|fill|width|text}": LEFT, RIGHT or CENTER pad the text to
// the width or cut it to the width; any other alignment word pads to the
// centre and never cuts. Widths are columns of the build's text, the fill
// its first whole character; a cut falls between characters, and a column
// that a wide character would fill only in part gets the fill instead.
// Padding takes the width modulo 256.
void PadText(text::ShortString& argument);

// "@NUM{separator|number}": the separator between groups of three digits,
// counted from the right; a number with any non-digit comes back unchanged.
void GroupDigits(text::ShortString& argument);

// "@SIZE{length|bytes}": the size in Kb, Mb or Gb, scaled until the text
// is within one character of the wanted length, the value reaches 0, or the
// unit reaches Gb. The size is read as a 64-bit number, the length as a
// 32-bit one.
void ScaleSize(text::ShortString& argument);

}  // namespace kelmora::templating
