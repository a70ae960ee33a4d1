// One pair of a replacement table applied to a text: every occurrence of its
// name replaced by its value, an "@" just before an occurrence keeping it
// literal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora::config {

struct ReplacePair {
  // The spelling the name was first added with.
  std::string name;
  std::string value;
  // True: the name matches only in exactly its letter case.
  bool case_sensitive = false;
  // The name folded for search: the order and the search key.
  std::string upper_name;
};

// No cut: a template line grows as far as its replacements take it.
inline constexpr std::size_t kGrowsWhole = std::string::npos;

// The part of a text that one pair changed, in the text's current
// positions: every place where bytes were put in or taken out lies in
// [from, to].
struct Changed {
  std::size_t from = std::string::npos;
  std::size_t to = 0;

  void Note(std::size_t at, std::size_t removed, std::size_t inserted);
};

// `folded` becomes the search fold of `text`.
void Fold(std::string_view text, std::string& folded);

bool IsAscii(std::string_view text);

// Replaces the occurrences of `pair` in `text`, cut to `limit` bytes after
// each insertion; false when there are none. A pair that is not
// case-sensitive searches `folded`, which must be the fold of `text` and
// becomes the pair's search copy; a case-sensitive one searches a copy of
// `text` made in `search`.
bool ApplyPair(const ReplacePair& pair, std::string& text, std::string& folded, std::string& search,
               std::size_t limit, Changed& changed);

// Applies `pairs` one after another, each looked for in the whole text;
// `folded` and `search` are scratch space.
void ApplyEachPair(const std::vector<ReplacePair>& pairs, std::string& text, std::size_t limit,
                   std::string& folded, std::string& search);

}  // namespace kelmora::config
