// The table of names and the texts that replace them. Applying it to a text
// replaces every occurrence of every name, greatest name first, then
// evaluates the function calls of the text when that is switched on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "config/line_search.h"
#include "config/replace_pair.h"
#include "template/function_calls.h"
#include "text/bounded_string.h"

namespace kelmora::config {

class ReplaceTable {
 public:
  // No pairs; the built-in functions; function calls on.
  ReplaceTable() = default;

  void SetApplyFunctions(bool on) { pairs_.SetCallsEvaluated(on); }

  // Adds the pair, or, when a pair of the same name (letter case ignored)
  // exists, gives it the new value and flag; it keeps its first spelling
  // and its place.
  void Add(const text::ShortString& name, const text::ShortString& value, bool case_sensitive);

  // Replaces the names in `text`, pair after pair in table order, then
  // evaluates the function calls when they are on. An "@" just before an
  // occurrence keeps the name literal and is itself removed. A short string
  // is cut at its capacity; a template line grows as far as its
  // replacements take it. Applying to template lines keeps a search from
  // line to line, so they are not const.
  void Apply(text::ShortString& text);
  void Apply(std::string& line);

  // For `text`, a run of lines: a place such that Apply changes no line
  // that ends at or before it; text.size() when it changes none (see
  // LineSearch::FirstPossibleChange).
  std::size_t FirstPossibleChange(std::string_view text) {
    return pairs_.Search().FirstPossibleChange(text);
  }

 private:
  SearchedPairs pairs_;
  templating::FunctionRegistry functions_;
};

}  // namespace kelmora::config
