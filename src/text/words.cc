#include "text/words.h"

namespace kelmora::text {

std::size_t WordPosition(int n, std::string_view text, const CharSet& delimiters) {
  int count = 0;
  std::size_t at = 0;
  while (at < text.size() && count != n) {
    while (at < text.size() && delimiters.Contains(text[at])) ++at;
    if (at < text.size()) ++count;
    if (count == n) return at + 1;
    while (at < text.size() && !delimiters.Contains(text[at])) ++at;
  }
  return 0;
}

ShortString ExtractWord(int n, std::string_view text, const CharSet& delimiters) {
  std::size_t start = WordPosition(n, text, delimiters);
  if (start == 0) return {};
  std::size_t end = start - 1;
  while (end < text.size() && !delimiters.Contains(text[end])) ++end;
  return ShortString(text.substr(start - 1, end - (start - 1)));
}

}  // namespace kelmora::text
