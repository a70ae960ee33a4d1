// One pair over a template line in one left-to-right pass: the line is
// copied into a second buffer with the pair's value in place of each
// occurrence, and the two are swapped. It gives what replacing one
// occurrence at a time gives (ApplyPair) for every pair whose value cannot
// make its key again with the text around it; ApplyPair stays for the
// others, whose search starts over after each value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "config/replace_pair.h"

namespace kelmora::config {

// The bytes a pair's key is searched for: the folded name, or the name
// itself for a case-sensitive pair.
inline std::string_view SearchKey(const ReplacePair& pair) {
  return pair.case_sensitive ? std::string_view(pair.name) : std::string_view(pair.upper_name);
}

// True when `key` and `text` line up somewhere: one holds the other, or a
// non-empty end of one is the beginning of the other.
bool Meets(std::string_view key, std::string_view text);

// What a pass needs to know of a pair, worked out once per table.
struct PairPassPlan {
  // False: after a value is put in, the key may be found again before the
  // end of the value (the value is empty, or lines up with the key without
  // holding it), so the search starts over and ApplyPair is used.
  bool in_one_pass = false;
  // The fold of the value, put into the fold of the line beside it.
  std::string folded_value;
  // The key or the value begins with a byte that the fold may read as part
  // of the character before it: the line is folded anew after the pass.
  bool begins_inside_character = false;
};
PairPassPlan PlanPairPass(const ReplacePair& pair);

// A line and its fold, and the second buffers a pass writes into.
struct PassLine {
  std::string& text;
  // The fold of `text`, when `folded_current`; kept so by a pass.
  std::string& folded;
  bool& folded_current;
  std::string& next_text;
  std::string& next_folded;
};

// Replaces the occurrences of `pair`, whose plan allows one pass, in
// `line.text`, where its key first occurs at `first`; a pair that is not
// case-sensitive needs the fold current. `changed` is what the pass
// changed.
void PassPair(const ReplacePair& pair, const PairPassPlan& plan, PassLine line, std::size_t first,
              Changed& changed);

// True when the fold may read `byte` as part of the character before it,
// so that folding two texts apart differs from folding them joined there.
bool FoldMayJoinAt(char byte);

// True when `text` folds the same wherever it stands: no character of the
// text before it or after it can take in one of its bytes.
bool FoldsAlone(std::string_view text);

}  // namespace kelmora::config
