// UTF-8 text, the Linux build's text rule (text/text_rules.h). Defined only
// in that build, which links the Unicode tables of utf8proc.
#pragma once

#include <cstddef>
#include <string_view>

namespace kelmora::text {

// The longest prefix of at most `limit` bytes that does not end inside a
// character. Only a whole, valid sequence counts as one character; any other
// byte stands alone, so no byte is lost and a split always moves on. 0 only
// when `limit` is 0 or the first character is longer than `limit`.
std::size_t Utf8WholeCharPrefix(std::string_view text, std::size_t limit);

// One character of text: its bytes and the columns a terminal shows it in.
struct CharExtent {
  std::size_t size;
  int columns;
};

// The first character of `text` (not empty). A valid sequence is one
// character, as wide as utf8proc_charwidth says: 2 for a wide East Asian
// character, 0 for a combining mark (and other characters that take no
// column of their own), 1 for the rest. Any other byte is a character of
// its own, one column wide.
CharExtent Utf8FirstChar(std::string_view text);

// Upper-cases every letter whose capital has a UTF-8 sequence of the same
// length, in place; every other character, and every byte of an invalid
// sequence, stays as it is. So each byte stays at the place of the byte it
// folds, and both sides of a search fold alike.
void Utf8FoldForSearch(char* data, std::size_t size);

}  // namespace kelmora::text
