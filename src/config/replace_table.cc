#include "config/replace_table.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string_view>

#include "text/char_case.h"
#include "text/search.h"

namespace kelmora::config {
namespace {

using text::BoundedString;
using text::ShortString;

// A byte the key does not hold. Written into the search copy, it keeps the
// key from being found anywhere across that place.
char ByteOutside(std::string_view key) {
  std::bitset<256> used;
  for (char c : key) used.set(static_cast<unsigned char>(c));
  std::size_t byte = 0;
  while (byte < 255 && used.test(byte)) ++byte;  // a key has at most 255 bytes
  return static_cast<char>(byte);
}

// Replaces every occurrence of `key` found in `search`, the search copy of
// `text`: same length, each character at the place of the one of `text` it
// stands for. Both are changed in step.
template <std::size_t Capacity>
void ReplaceOccurrences(std::string_view key, std::string_view value,
                        BoundedString<Capacity>& text, BoundedString<Capacity>& search) {
  // A value that holds its own key would be found again after every
  // insertion; for it the search goes on behind the inserted value. Any
  // other value is searched for from the start again.
  const bool search_behind_value = text::FindInBuffer(value, key) >= 0;
  const char blocker = ByteOutside(key);
  // Where this pair last inserted its value: an "@" there is part of that
  // value, not an escape.
  std::optional<std::size_t> inserted_at;
  std::size_t from = 0;
  for (;;) {
    from = std::min(from, search.size());
    std::int32_t found = text::FindInBuffer(search.view().substr(from), key);
    if (found < 0) return;
    std::size_t at = from + static_cast<std::size_t>(found);
    auto index = static_cast<long>(at) + 1;  // 1-based, for Delete and Insert

    if (at > 0 && text[at - 1] == '@' && inserted_at != at - 1) {
      text::Delete(text, index - 1, 1);
      text::Delete(search, index - 1, 1);
      search[at - 1] = blocker;
      if (inserted_at && *inserted_at > at - 1) --*inserted_at;
      if (from > at - 1) --from;
      continue;
    }

    text::Delete(text, index, static_cast<long>(key.size()));
    text::Delete(search, index, static_cast<long>(key.size()));
    text::Insert(value, text, index);
    text::Insert(value, search, index);
    inserted_at = at;
    if (search_behind_value) from = at + value.size();
  }
}

template <std::size_t Capacity>
void ApplyPairs(const std::vector<ReplacePair>& pairs, BoundedString<Capacity>& text) {
  // The text upper-cased, made once and reused until a pair changes the
  // text.
  BoundedString<Capacity> upper;
  bool upper_is_current = false;
  BoundedString<Capacity> search;
  for (const ReplacePair& pair : pairs) {
    if (pair.name.empty()) continue;
    if (!pair.case_sensitive && !upper_is_current) {
      upper.Assign(text.view());
      text::FoldForSearch(upper.data(), upper.size());
      upper_is_current = true;
    }
    const BoundedString<Capacity>& searched = pair.case_sensitive ? text : upper;
    std::string_view key = pair.case_sensitive ? pair.name.view() : pair.upper_name.view();
    if (text::FindInBuffer(searched.view(), key) < 0) continue;
    search.Assign(searched.view());
    ReplaceOccurrences(key, pair.value.view(), text, search);
    upper_is_current = false;
  }
}

}  // namespace

void ReplaceTable::Add(const ShortString& name, const ShortString& value,
                       bool case_sensitive) {
  ShortString upper_name = text::FoldedForSearch(name.view());
  auto place = std::lower_bound(
      pairs_.begin(), pairs_.end(), upper_name,
      [](const ReplacePair& pair, const ShortString& key) { return pair.upper_name > key; });
  if (place != pairs_.end() && place->upper_name == upper_name) {
    place->value = value;
    place->case_sensitive = case_sensitive;
    return;
  }
  pairs_.insert(place, ReplacePair{name, value, case_sensitive, upper_name});
}

void ReplaceTable::Apply(ShortString& text) const {
  ApplyPairs(pairs_, text);
  if (apply_functions_) templating::EvaluateCalls(functions_, text);
}

void ReplaceTable::Apply(text::LongLine& text) const {
  ApplyPairs(pairs_, text);
  if (apply_functions_) templating::EvaluateCalls(functions_, text);
}

}  // namespace kelmora::config
