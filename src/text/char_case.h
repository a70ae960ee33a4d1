// Letter case: the upper-casing of the console's OEM code page 866 (Latin a-z
// and the Cyrillic lower-case letters), and the case fold of searches, which
// follows the build's text rule (text/text_rules.h).
#pragma once

#include <string_view>

#include "text/bounded_string.h"

namespace kelmora::text {

char UpCase866(char c);

// `s` upper-cased for comparing it with a keyword of the program ("YES",
// "@DEFINE", a settings key): UpCase866 of every byte, on both builds, as a
// keyword's letters are ASCII; the length is unchanged.
template <std::size_t Capacity>
BoundedString<Capacity> UpperCaseKeyword(BoundedString<Capacity> s) {
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = UpCase866(s[i]);
  return s;
}
inline ShortString UpperCaseKeyword(std::string_view s) { return UpperCaseKeyword(ShortString(s)); }

// In place, over a buffer of any length.
void UpperBuffer866(char* data, std::size_t size);

// The case fold of every case-insensitive search for names and function
// calls: in place, the length unchanged, each byte standing at the place of
// the byte it folds. Searches compare folded copies of both sides. In code
// page 866 it is UpperBuffer866; in UTF-8, Utf8FoldForSearch.
void FoldForSearch(char* data, std::size_t size);
ShortString FoldedForSearch(std::string_view s);

// WholeCharPrefix, where every cut or split of a text is made, lives in
// text/text_rules.h, which the short strings include.

}  // namespace kelmora::text
