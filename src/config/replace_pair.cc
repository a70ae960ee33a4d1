#include "config/replace_pair.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <optional>

#include "text/char_case.h"
#include "text/text_rules.h"

namespace kelmora::config {
namespace {

// How much one pair may grow a text while its search still starts again
// from the beginning after each replacement.
constexpr std::size_t kMostRegrowth = 1024;

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
// stands for. Both are changed in step, and cut to `limit` bytes after each
// insertion. `first` is where the key first occurs in `search`.
void ReplaceOccurrences(std::string_view key, std::string_view value, std::string& text,
                        std::string& search, std::size_t limit, std::size_t first,
                        Changed& changed) {
  // A value that holds its own key would be found again after every
  // insertion; for it the search goes on behind the inserted value. Any
  // other value is searched for from the start again, until the text has
  // grown by more than kMostRegrowth bytes: a value that keeps making its
  // key again with the text around it would otherwise grow the text
  // without end, so from then on it is treated like one that holds its key.
  bool search_behind_value = value.find(key) != std::string_view::npos;
  const std::size_t regrowth_limit = text.size() + kMostRegrowth;
  // Where this pair last inserted its value: an "@" there is part of that
  // value, not an escape.
  std::optional<std::size_t> inserted_at;
  std::size_t from = 0;
  for (std::size_t at = first; at != std::string::npos;
       from = std::min(from, search.size()), at = search.find(key, from)) {
    if (at > 0 && text[at - 1] == '@' && inserted_at != at - 1) {
      text.erase(at - 1, 1);
      search.erase(at - 1, 1);
      search[at - 1] = ByteOutside(key);
      changed.Note(at - 1, 1, 0);
      if (inserted_at && *inserted_at > at - 1) --*inserted_at;
      if (from > at - 1) --from;
      continue;
    }

    text.replace(at, key.size(), value);
    search.replace(at, key.size(), value);
    changed.Note(at, key.size(), value.size());
    if (text.size() > limit) {
      std::size_t kept = text::WholeCharPrefix(text, limit);
      text.resize(kept);
      search.resize(kept);
    }
    inserted_at = at;
    if (text.size() > regrowth_limit) search_behind_value = true;
    if (search_behind_value) from = at + value.size();
  }
}

}  // namespace

void Changed::Note(std::size_t at, std::size_t removed, std::size_t inserted) {
  if (from == std::string::npos) {
    from = at;
    to = at + inserted;
    return;
  }
  if (to >= at + removed) {
    to = to - removed + inserted;
  } else if (to > at) {
    to = at;
  }
  from = std::min(from, at);
  to = std::max(to, at + inserted);
}

void Fold(std::string_view text, std::string& folded) {
  folded.assign(text);
  text::FoldForSearch(folded.data(), folded.size());
}

bool IsAscii(std::string_view text) {
  // Eight bytes at a time, as every line of a template is looked at; the
  // last eight overlap the others rather than end in a loop of few bytes.
  auto word_at = [&text](std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    return word;
  };
  std::uint64_t any = 0;
  if (text.size() < 8) {
    for (char c : text) any |= static_cast<unsigned char>(c);
  } else {
    for (std::size_t at = 0; at + 8 <= text.size(); at += 8) any |= word_at(at);
    any |= word_at(text.size() - 8);
  }
  return (any & 0x8080808080808080u) == 0;
}

bool ApplyPair(const ReplacePair& pair, std::string& text, std::string& folded, std::string& search,
               std::size_t limit, Changed& changed) {
  if (pair.case_sensitive) {
    std::size_t first = text.find(pair.name);
    if (first == std::string::npos) return false;
    search.assign(text);
    ReplaceOccurrences(pair.name, pair.value, text, search, limit, first, changed);
  } else {
    std::size_t first = folded.find(pair.upper_name);
    if (first == std::string::npos) return false;
    ReplaceOccurrences(pair.upper_name, pair.value, text, folded, limit, first, changed);
  }
  return true;
}

void ApplyEachPair(const std::vector<ReplacePair>& pairs, std::string& text, std::size_t limit,
                   std::string& folded, std::string& search) {
  bool folded_is_current = false;
  Changed changed;
  for (const ReplacePair& pair : pairs) {
    if (pair.name.empty()) continue;
    if (!pair.case_sensitive && !folded_is_current) {
      Fold(text, folded);
      folded_is_current = true;
    }
    if (ApplyPair(pair, text, folded, search, limit, changed)) folded_is_current = false;
  }
}

}  // namespace kelmora::config
