#include "text/search.h"

namespace kelmora::text {

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
