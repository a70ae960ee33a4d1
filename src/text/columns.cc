#include "text/columns.h"

#include <algorithm>

#include "text/text_rules.h"

namespace kelmora::text {

int Columns(std::string_view text) {
  int columns = 0;
  while (!text.empty()) {
    CharExtent c = FirstCharExtent(text);
    columns += c.columns;
    text.remove_prefix(c.size);
  }
  return columns;
}

std::string_view LeadingChar(std::string_view text) {
  if (text.empty()) return text;
  return text.substr(0, FirstCharExtent(text).size);
}

std::string ColumnSpan(std::string_view text, int from, int count, std::string_view fill) {
  const int to = from + count;
  std::string span;
  int column = 0;
  // Whether the last character with a column was kept; characters of no
  // column before any such count as standing in column 0.
  bool kept = from == 0 && count > 0;
  while (!text.empty()) {
    CharExtent c = FirstCharExtent(text);
    std::string_view bytes = text.substr(0, c.size);
    text.remove_prefix(c.size);
    if (c.columns == 0) {
      if (kept) span += bytes;
      continue;
    }
    const int start = column;
    column += c.columns;
    kept = start >= from && column <= to;
    if (kept) {
      span += bytes;
      continue;
    }
    for (int at = std::max(start, from); at < std::min(column, to); ++at) span += fill;
  }
  return span;
}

}  // namespace kelmora::text
