#include "config/replace_table.h"

#include <algorithm>
#include <bitset>
#include <functional>
#include <optional>
#include <string_view>

#include "text/char_case.h"
#include "text/text_rules.h"

namespace kelmora::config {
namespace {

constexpr std::size_t kNoLimit = std::string::npos;

// How much one pair may grow a text while its search still starts again
// from the beginning after each replacement.
constexpr std::size_t kMostRegrowth = 1024;

// Above this many entries the automaton is never built: the pairs are then
// searched one by one.
constexpr std::uint64_t kMostTableEntries = std::uint64_t{1} << 28;

// How many byte comparisons of pair-by-pair search one table entry of the
// automaton is worth: it is built once the lines searched pair by pair have
// cost that much.
constexpr std::uint64_t kSearchPerTableEntry = 8;

// A byte the key does not hold. Written into the search copy, it keeps the
// key from being found anywhere across that place.
char ByteOutside(std::string_view key) {
  std::bitset<256> used;
  for (char c : key) used.set(static_cast<unsigned char>(c));
  std::size_t byte = 0;
  while (byte < 255 && used.test(byte)) ++byte;  // a key has at most 255 bytes
  return static_cast<char>(byte);
}

// The part of a text that one pair changed, in the text's current
// positions: every place where bytes were put in or taken out lies in
// [from, to].
struct Changed {
  std::size_t from = std::string::npos;
  std::size_t to = 0;

  void Note(std::size_t at, std::size_t removed, std::size_t inserted) {
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
};

void Fold(std::string_view text, std::string& folded) {
  folded.assign(text);
  text::FoldForSearch(folded.data(), folded.size());
}

bool IsAscii(std::string_view text) {
  unsigned char any = 0;
  for (char c : text) any |= static_cast<unsigned char>(c);
  return any < 0x80;
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

// Replaces the occurrences of one pair in `text`; false when there are
// none. A pair that is not case-sensitive searches `folded`, which must be
// the fold of `text` and becomes the pair's search copy; a case-sensitive
// one searches a copy of `text` made in `search`.
bool ApplyPair(const ReplacePair& pair, std::string& text, std::string& folded,
               std::string& search, std::size_t limit, Changed& changed) {
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

// Applies the pairs one after another, each looked for in the whole text.
void ApplyEachPair(const std::vector<ReplacePair>& pairs, std::string& text,
                   std::size_t limit, std::string& folded, std::string& search) {
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

std::vector<std::string_view> KeysOf(const std::vector<ReplacePair>& pairs,
                                     const std::vector<std::uint32_t>& numbers) {
  std::vector<std::string_view> keys;
  keys.reserve(numbers.size());
  for (std::uint32_t number : numbers) keys.push_back(pairs[number].upper_name);
  return keys;
}

}  // namespace

void ReplaceTable::Add(const text::ShortString& name, const text::ShortString& value,
                       bool case_sensitive) {
  line_search_.current = false;
  std::string upper_name(text::FoldedForSearch(name.view()).view());
  if (auto found = index_.find(upper_name); found != index_.end()) {
    ReplacePair& pair = pairs_[found->second];
    pair.value = value.str();
    pair.case_sensitive = case_sensitive;
    return;
  }
  index_.emplace(upper_name, pairs_.size());
  pairs_.push_back(ReplacePair{name.str(), value.str(), case_sensitive, std::move(upper_name)});
}

void ReplaceTable::SortAdded() const {
  if (sorted_ == pairs_.size()) return;
  auto greater = [](const ReplacePair& a, const ReplacePair& b) {
    return a.upper_name > b.upper_name;
  };
  auto added = pairs_.begin() + static_cast<std::ptrdiff_t>(sorted_);
  std::sort(added, pairs_.end(), greater);
  std::inplace_merge(pairs_.begin(), added, pairs_.end(), greater);
  sorted_ = pairs_.size();
  for (std::size_t i = 0; i < pairs_.size(); ++i) index_[pairs_[i].upper_name] = i;
}

const std::vector<ReplacePair>& ReplaceTable::pairs() const {
  SortAdded();
  return pairs_;
}

void ReplaceTable::Apply(text::ShortString& text) const {
  SortAdded();
  std::string work = text.str();
  ApplyEachPair(pairs_, work, text::ShortString::kCapacity, line_search_.folded,
                line_search_.search);
  text = work;
  if (apply_functions_) templating::EvaluateCalls(functions_, text);
}

void ReplaceTable::PrepareLineSearch() const {
  SortAdded();
  if (line_search_.current) return;
  LineSearch& search = line_search_;
  search = LineSearch{};
  for (std::size_t i = 0; i < pairs_.size(); ++i) {
    const ReplacePair& pair = pairs_[i];
    if (pair.name.empty()) continue;
    auto number = static_cast<std::uint32_t>(i);
    if (pair.case_sensitive) {
      search.case_sensitive_pairs.push_back(number);
    } else {
      search.pair_of_key.push_back(number);
    }
  }
  search.queued_in.assign(pairs_.size(), 0);
  // An ASCII byte is a whole character under every fold, folded alone.
  search.ascii_fold_usable = true;
  for (std::size_t byte = 0; byte < search.ascii_fold.size(); ++byte) {
    char c = static_cast<char>(byte);
    text::FoldForSearch(&c, 1);
    search.ascii_fold[byte] = c;
    if (static_cast<unsigned char>(c) >= 0x80) search.ascii_fold_usable = false;
  }
  search.ascii_stops = apply_functions_ ? "{" : "";
  search.keys.ReadAsciiAs(search.ascii_fold);
  search.keys.StopAsciiScanAt(search.ascii_stops);
  std::uint64_t entries = text::KeySearch::TableEntries(KeysOf(pairs_, search.pair_of_key));
  if (!search.pair_of_key.empty() && entries <= kMostTableEntries)
    search.build_after = entries * kSearchPerTableEntry;
  search.current = true;
}

void ReplaceTable::Apply(std::string& line) const {
  PrepareLineSearch();
  LineSearch& search = line_search_;
  if (!search.keys_built && search.searched_pair_by_pair >= search.build_after)
    BuildKeySearch();
  if (search.keys_built) {
    ApplyPairsByKeySearch(line);
  } else {
    search.searched_pair_by_pair += (line.size() + 16) * search.pair_of_key.size();
    ApplyEachPair(pairs_, line, kNoLimit, search.folded, search.search);
  }
  if (apply_functions_ && line.find('{') != std::string::npos)
    templating::EvaluateCalls(functions_, line);
}

void ReplaceTable::BuildKeySearch() const {
  LineSearch& search = line_search_;
  search.keys = text::KeySearch(KeysOf(pairs_, search.pair_of_key));
  search.keys.ReadAsciiAs(search.ascii_fold);
  search.keys.StopAsciiScanAt(search.ascii_stops);
  search.keys_built = true;
}

std::size_t ReplaceTable::FirstPossibleChange(std::string_view text) const {
  PrepareLineSearch();
  const LineSearch& search = line_search_;
  // Pairs of one letter case are not in the automaton, and an ASCII byte
  // that folds beyond ASCII is not read byte by byte: any line may change.
  if (!search.case_sensitive_pairs.empty() || !search.ascii_fold_usable) return 0;
  if (!search.pair_of_key.empty() && !search.keys_built) return 0;
  return search.keys.FirstKeyOrStopInAscii(text);
}

// The line folded into line_search_.folded; an ASCII line byte by byte.
void ReplaceTable::FoldLine(std::string_view line) const {
  LineSearch& search = line_search_;
  if (!search.ascii_fold_usable || !IsAscii(line)) {
    Fold(line, search.folded);
    return;
  }
  search.folded.resize(line.size());
  for (std::size_t i = 0; i < line.size(); ++i)
    search.folded[i] = search.ascii_fold[static_cast<unsigned char>(line[i])];
}

// Makes line_search_.folded the fold of `line` again after a pair used it
// as its search copy: it differs only in [from, to). An ASCII line folds
// byte by byte, so only that part is folded again.
void ReplaceTable::RefoldChanged(std::string_view line, std::size_t from,
                                 std::size_t to) const {
  LineSearch& search = line_search_;
  to = std::min(to, line.size());
  if (search.folded.size() != line.size() || !search.ascii_fold_usable || !IsAscii(line)) {
    FoldLine(line);
    return;
  }
  for (std::size_t i = from; i < to; ++i)
    search.folded[i] = search.ascii_fold[static_cast<unsigned char>(line[i])];
}

// The same result as ApplyEachPair, but only the pairs that occur in the
// line are looked at: those the automaton finds in the folded line at the
// start, and those it finds around each change a pair makes. A pair found
// nowhere is never searched for on its own.
void ReplaceTable::ApplyPairsByKeySearch(std::string& line) const {
  LineSearch& search = line_search_;
  if (++search.line_number == 0) {
    std::fill(search.queued_in.begin(), search.queued_in.end(), 0);
    search.line_number = 1;
  }
  const std::uint32_t mark = search.line_number;
  std::vector<std::uint32_t>& queue = search.queue;  // a heap, smallest first
  queue.clear();
  auto enqueue = [&](std::uint32_t pair) {
    if (search.queued_in[pair] == mark) return;
    search.queued_in[pair] = mark;
    queue.push_back(pair);
    std::push_heap(queue.begin(), queue.end(), std::greater<>());
  };

  // An ASCII line is searched as it is, and folded only when it holds a
  // key.
  auto found = [&](std::size_t key) { enqueue(search.pair_of_key[key]); };
  const bool read_as_ascii = search.ascii_fold_usable && IsAscii(line);
  if (read_as_ascii) {
    search.keys.ForEachKeyInAscii(line, found);
  } else {
    FoldLine(line);
    search.keys.ForEachKeyIn(search.folded, found);
  }
  for (std::uint32_t pair : search.case_sensitive_pairs) enqueue(pair);
  if (queue.empty()) return;
  if (read_as_ascii) FoldLine(line);

  // A key can span a change by its length less one byte on either side;
  // four more bytes cover a fold that reads a character around the change.
  const std::size_t margin = search.keys.longest_key() + 3;
  while (!queue.empty()) {
    std::pop_heap(queue.begin(), queue.end(), std::greater<>());
    const std::uint32_t applied = queue.back();
    queue.pop_back();
    Changed changed;
    if (!ApplyPair(pairs_[applied], line, search.folded, search.search, kNoLimit, changed))
      continue;
    RefoldChanged(line, changed.from, changed.to + 1);
    std::size_t from = changed.from > margin ? changed.from - margin : 0;
    std::size_t to = std::min(line.size(), changed.to + margin);
    if (from >= to) continue;
    search.keys.ForEachKeyIn(std::string_view(search.folded).substr(from, to - from),
                             [&](std::size_t key) {
                               std::uint32_t later = search.pair_of_key[key];
                               if (later > applied) enqueue(later);
                             });
  }
}

}  // namespace kelmora::config
