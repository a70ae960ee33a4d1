// Upper-casing in the console's OEM code page 866: Latin a-z and the Cyrillic
// lower-case letters. Every case-insensitive comparison of the program folds
// both sides with it.
#pragma once

#include <string_view>

#include "text/bounded_string.h"

namespace kelmora::text {

char UpCase866(char c);

// UpCase866 of every character; the length is unchanged.
template <std::size_t Capacity>
BoundedString<Capacity> UpperStr866(BoundedString<Capacity> s) {
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = UpCase866(s[i]);
  return s;
}
inline ShortString UpperStr866(std::string_view s) {
  return UpperStr866(ShortString(s));
}

// In place, over a buffer of any length.
void UpperBuffer866(char* data, std::size_t size);

// The case fold of every case-insensitive search for names and function
// calls: in place, the length unchanged, each byte standing at the place of
// the byte it folds. Searches compare folded copies of both sides.
void FoldForSearch(char* data, std::size_t size);
ShortString FoldedForSearch(std::string_view s);

// The length of the longest prefix of `text` of at most `limit` bytes that
// does not end inside a character: where a text is cut or split, the cut is
// made there.
std::size_t WholeCharPrefix(std::string_view text, std::size_t limit);

}  // namespace kelmora::text
