// The table of names and the texts that replace them. Applying it to a text
// replaces every occurrence of every name, greatest name first, then
// evaluates the function calls of the text when that is switched on.
#pragma once

#include <vector>

#include "template/function_calls.h"
#include "text/bounded_string.h"

namespace kelmora::config {

struct ReplacePair {
  // The spelling the name was first added with.
  text::ShortString name;
  text::ShortString value;
  // True: the name matches only in exactly its letter case.
  bool case_sensitive = false;
  // The name upper-cased in code page 866: the order and search key.
  text::ShortString upper_name;
};

class ReplaceTable {
 public:
  // No pairs; the built-in functions; function calls on.
  ReplaceTable() = default;

  bool ApplyFunctions() const { return apply_functions_; }
  void SetApplyFunctions(bool on) { apply_functions_ = on; }

  // Adds the pair, or, when a pair of the same name (letter case ignored)
  // exists, gives it the new value and flag; it keeps its first spelling
  // and its place.
  void Add(const text::ShortString& name, const text::ShortString& value,
           bool case_sensitive);

  // Replaces the names in `text`, pair after pair in table order, then
  // evaluates the function calls when ApplyFunctions is on. The text is cut
  // at its capacity. An "@" just before an occurrence keeps the name
  // literal and is itself removed.
  void Apply(text::ShortString& text) const;
  void Apply(text::LongLine& text) const;

  // In descending order of upper_name (unsigned bytes, a prefix is smaller).
  const std::vector<ReplacePair>& pairs() const { return pairs_; }

 private:
  std::vector<ReplacePair> pairs_;
  templating::FunctionRegistry functions_;
  bool apply_functions_ = true;
};

}  // namespace kelmora::config
