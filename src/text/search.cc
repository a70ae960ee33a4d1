#include "text/search.h"

#include <algorithm>

namespace kelmora::text {

std::int32_t FindInBuffer(std::string_view buffer, std::string_view pattern) {
  if (pattern.empty() || buffer.size() < pattern.size()) return -1;
  auto at = std::search(buffer.begin(), buffer.end(), pattern.begin(), pattern.end());
  if (at == buffer.end()) return -1;
  return static_cast<std::int32_t>(at - buffer.begin());
}

void TrimLeftSet(ShortString& s, const CharSet& set) {
  std::size_t count = 0;
  while (count < s.size() && set.Contains(s[count])) ++count;
  if (count > 0) s = ShortString(s.view().substr(count));
}

void TrimRightSet(ShortString& s, const CharSet& set) {
  std::size_t size = s.size();
  while (size > 0 && set.Contains(s[size - 1])) --size;
  s.resize(size);
}

ShortString TrimSet(const CharSet& set, ShortString s) {
  TrimLeftSet(s, set);
  TrimRightSet(s, set);
  return s;
}

}  // namespace kelmora::text
