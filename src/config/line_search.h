// How the pairs of a table are applied to template lines, one line after
// another: pair by pair at first, then, once that has cost about as much as
// building it, through one automaton of all keys, so that only the pairs
// that occur in a line are looked at, or, when the table allows it, so
// that one scan replaces the occurrences of all of them.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <optional>
#include <vector>

#include "config/pair_pass.h"
#include "config/replace_pair.h"
#include "config/single_scan.h"
#include "text/key_search.h"

namespace kelmora::config {

// Made for one list of pairs in table order; SearchedPairs makes sure it is
// never used with any other.
class LineSearch {
 public:
  // `calls_evaluated`: a call's brace may change a line too.
  LineSearch(const std::vector<ReplacePair>& pairs, bool calls_evaluated);

  // What ApplyEachPair makes of `line` with `pairs`, the pairs the search
  // was made for.
  void Apply(const std::vector<ReplacePair>& pairs, std::string& line);

  // For `text`, a run of lines: a place such that Apply changes no line
  // that ends at or before it; text.size() when it changes none. It is
  // where the first name, call brace or byte beyond ASCII stands, or
  // earlier (0 while the automaton is not built), never later.
  std::size_t FirstPossibleChange(std::string_view text) const;

 private:
  text::KeySearch KeySearchOf(const std::vector<std::string_view>& keys) const;
  std::vector<std::string_view> Keys(const std::vector<ReplacePair>& pairs) const;
  void ApplyByKeySearch(const std::vector<ReplacePair>& pairs, std::string& line);
  void ApplyInOneScan(const std::vector<ReplacePair>& pairs, std::string& line);
  // ApplyEachPair's loop, each pair in one pass where its plan allows.
  void ApplyPairByPair(const std::vector<ReplacePair>& pairs, std::string& line);
  // Pair number `pair` over the line; the fold made current first for a
  // pair that is not case-sensitive. False when it does not occur.
  bool ApplyOne(const std::vector<ReplacePair>& pairs, std::uint32_t pair, std::string& line,
                Changed& changed);
  // Where the pair's key first occurs in the line (its fold, made current
  // first, for a pair that is not case-sensitive).
  std::size_t FindIn(const ReplacePair& pair, const std::string& line);
  // Makes fold_pairs_ and fold_bytes_ those of the fold of `line`.
  void TakeFoldBytes(const std::string& line);
  // ApplyOne of a pair whose key first occurs at `first`.
  void ApplyFound(const std::vector<ReplacePair>& pairs, std::uint32_t pair, std::string& line,
                  std::size_t first, Changed& changed);
  const PairPassPlan& PlanOf(const std::vector<ReplacePair>& pairs, std::uint32_t pair);
  // Queues the pairs whose keys occur in `line`, and every case-sensitive
  // pair; leaves folded_ the fold of `line` when any is queued.
  void QueuePairsIn(std::string_view line);
  void Enqueue(std::uint32_t pair);
  void FoldLine(std::string_view line);
  void RefoldChanged(std::string_view line, std::size_t from, std::size_t to);
  void FoldAscii(std::string_view line, std::size_t from, std::size_t to);

  // Per pair, what its key begins with (HeadOf in line_search.cc): a key
  // is searched for in a line only where its fold holds that.
  std::vector<std::uint32_t> heads_;
  // The pairs that are not case-sensitive, as key numbers of `keys_`.
  std::vector<std::uint32_t> pair_of_key_;
  std::vector<std::uint32_t> case_sensitive_pairs_;
  // The fold of each ASCII byte, usable when each folds to ASCII.
  std::array<char, 128> ascii_fold_{};
  bool ascii_fold_usable_ = true;
  // Where a scan for a possible change stops besides names (and bytes
  // beyond ASCII).
  std::string_view ascii_stops_;
  // No keys until built, once the lines searched pair by pair have cost
  // about as much as building it: `build_after_` bytes times pairs.
  text::KeySearch keys_;
  bool keys_built_ = false;
  std::uint64_t searched_pair_by_pair_ = 0;
  std::uint64_t build_after_;
  // Per pair: the number of the line in which it was last put in line.
  std::vector<std::uint32_t> queued_in_;
  std::uint32_t line_number_ = 0;
  std::vector<std::uint32_t> queue_;  // a heap, smallest first
  // Per pair, made when it first occurs.
  std::vector<PairPassPlan> plans_;
  std::vector<bool> planned_;
  // Made with the automaton when the table allows one scan.
  std::optional<std::vector<ScanEdges>> scan_edges_;
  // folded_ is the fold of the line while folded_current_.
  std::string folded_, search_;
  bool folded_current_ = false;
  // The byte pairs (first * 256 + second) and the bytes of folded_, while
  // fold_bytes_current_: heads_ are looked up in them.
  std::bitset<256 * 256> fold_pairs_;
  std::bitset<256> fold_bytes_;
  bool fold_bytes_current_ = false;
  // What a pass writes into, swapped with the line and its fold.
  std::string next_text_, next_folded_;
};

// The pairs of a table, each folded name once, and the line search made
// from them. Every change of the pairs drops the search, so a search is
// never used with pairs other than those it was made from.
class SearchedPairs {
 public:
  // Adds the pair, or, when a pair of the same folded name exists, gives it
  // the new value and flag; it keeps its first spelling and its place.
  void Add(ReplacePair pair);
  void SetCallsEvaluated(bool on);
  bool calls_evaluated() const { return calls_evaluated_; }

  // In descending order of upper_name (unsigned bytes, a prefix is smaller).
  // Asked for once a line or more: inline while nothing was added.
  const std::vector<ReplacePair>& Sorted() {
    if (sorted_ != pairs_.size()) SortAdded();
    return pairs_;
  }
  // The search of the pairs as they are, made when first asked for.
  LineSearch& Search() {
    Sorted();
    if (!search_) search_.emplace(pairs_, calls_evaluated_);
    return *search_;
  }

 private:
  void SortAdded();

  // pairs_[0, sorted_) are in order; pairs after them were added since.
  std::vector<ReplacePair> pairs_;
  std::size_t sorted_ = 0;
  // upper_name to index in pairs_.
  std::unordered_map<std::string, std::size_t> index_;
  bool calls_evaluated_ = true;
  std::optional<LineSearch> search_;
};

}  // namespace kelmora::config
