// The table of names and the texts that replace them. Applying it to a text
// replaces every occurrence of every name, greatest name first, then
// evaluates the function calls of the text when that is switched on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "template/function_calls.h"
#include "text/bounded_string.h"
#include "text/key_search.h"

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

class ReplaceTable {
 public:
  // No pairs; the built-in functions; function calls on.
  ReplaceTable() = default;

  bool ApplyFunctions() const { return apply_functions_; }
  void SetApplyFunctions(bool on) {
    apply_functions_ = on;
    line_search_.current = false;
  }

  // Adds the pair, or, when a pair of the same name (letter case ignored)
  // exists, gives it the new value and flag; it keeps its first spelling
  // and its place.
  void Add(const text::ShortString& name, const text::ShortString& value,
           bool case_sensitive);

  // Replaces the names in `text`, pair after pair in table order, then
  // evaluates the function calls when ApplyFunctions is on. An "@" just
  // before an occurrence keeps the name literal and is itself removed. A
  // short string is cut at its capacity; a template line grows as far as
  // its replacements take it.
  void Apply(text::ShortString& text) const;
  void Apply(std::string& line) const;

  // For `text`, a run of lines: a place such that Apply changes no line
  // that ends at or before it; text.size() when it changes none. It is
  // where the first name, call or byte beyond ASCII stands, or earlier (0
  // while searching names one by one is cheaper than building their
  // automaton), never later.
  std::size_t FirstPossibleChange(std::string_view text) const;

  // In descending order of upper_name (unsigned bytes, a prefix is smaller).
  const std::vector<ReplacePair>& pairs() const;

 private:
  // What applying to template lines keeps from line to line; rebuilt after
  // the pairs change.
  struct LineSearch {
    bool current = false;
    // The pairs that are not case-sensitive, as key numbers of `keys`.
    std::vector<std::uint32_t> pair_of_key;
    std::vector<std::uint32_t> case_sensitive_pairs;
    // Built once the lines searched pair by pair have cost about as much
    // as building it: `build_after` bytes times pairs.
    text::KeySearch keys;
    bool keys_built = false;
    std::uint64_t searched_pair_by_pair = 0;
    std::uint64_t build_after = std::numeric_limits<std::uint64_t>::max();
    // Per pair: the number of the line in which it was last put in line.
    std::vector<std::uint32_t> queued_in;
    std::uint32_t line_number = 0;
    std::vector<std::uint32_t> queue;
    std::string folded, search;
    // The fold of each ASCII byte, usable when each folds to ASCII.
    std::array<char, 128> ascii_fold{};
    bool ascii_fold_usable = false;
    // Where a scan for a possible change stops besides names (and bytes
    // beyond ASCII): a call's brace when calls are evaluated.
    std::string_view ascii_stops;
  };

  void SortAdded() const;
  void PrepareLineSearch() const;
  void BuildKeySearch() const;
  void ApplyPairsByKeySearch(std::string& line) const;
  void FoldLine(std::string_view line) const;
  void RefoldChanged(std::string_view line, std::size_t from, std::size_t to) const;

  // pairs_[0, sorted_) are in order; pairs after them were added since.
  mutable std::vector<ReplacePair> pairs_;
  mutable std::size_t sorted_ = 0;
  // upper_name to index in pairs_.
  mutable std::unordered_map<std::string, std::size_t> index_;
  mutable LineSearch line_search_;
  templating::FunctionRegistry functions_;
  bool apply_functions_ = true;
};

}  // namespace kelmora::config
