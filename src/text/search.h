// Trimming by character sets.
#pragma once

#include <bitset>
#include <string_view>

#include "text/bounded_string.h"

namespace kelmora::text {

// A set of byte values.
class CharSet {
 public:
  explicit CharSet(std::string_view members) {
    for (char c : members) bits_.set(static_cast<unsigned char>(c));
  }
  bool Contains(char c) const { return bits_.test(static_cast<unsigned char>(c)); }

 private:
  std::bitset<256> bits_;
};

inline const CharSet kBlanks(" \t");

// Removes the leading characters of `s` that are in `set`.
void TrimLeftSet(ShortString& s, const CharSet& set);
// Removes the trailing characters of `s` that are in `set`.
void TrimRightSet(ShortString& s, const CharSet& set);
// A copy of `s` trimmed at both ends, the left end first.
ShortString TrimSet(const CharSet& set, ShortString s);

}  // namespace kelmora::text
