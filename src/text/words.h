// Words of a text: runs of characters that are not delimiters.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/bounded_string.h"
#include "text/search.h"

namespace kelmora::text {

// 1-based position where the n-th word of `text` begins, or 0 when there
// are fewer than n words. Words are runs of characters not in `delimiters`;
// a run of delimiters only separates, so no word is empty.
std::size_t WordPosition(int n, std::string_view text, const CharSet& delimiters);

// The n-th word of `text`, or the empty text.
ShortString ExtractWord(int n, std::string_view text, const CharSet& delimiters);

}  // namespace kelmora::text
