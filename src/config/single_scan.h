// All pairs of a table in one scan of a template line, for the tables and
// lines on which that gives the bytes of applying the pairs one after
// another.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/replace_pair.h"
#include "text/key_search.h"

namespace kelmora::config {

// What the scan must watch for around one pair's occurrences: the folded
// bytes that, standing there, could join with the pair's value or key into
// a later pair's key.
struct ScanEdges {
  std::bitset<256> before_value;
  std::bitset<256> after_value;
  // Before the "@" of an escape, which the escape takes out.
  std::bitset<256> before_escape;
  unsigned char folded_value_front = 0;
  unsigned char folded_value_back = 0;
  // Whether before_value or after_value marks any byte: most pairs have
  // nothing to watch around their values.
  bool watches_value = false;
};

// Per pair (by index in `pairs`), what ScanAllPairs watches for; nothing
// when the table does not allow one scan on any line (the condition is
// written out in single_scan.cc) or is too large to check at a small cost.
std::optional<std::vector<ScanEdges>> PlanSingleScan(const std::vector<ReplacePair>& pairs);

enum class ScanResult {
  NoKey,       // no key occurs; `out` untouched
  Scanned,     // `out` is the line as the pairs make it
  PairByPair,  // keys meet in this line: apply the pairs one after another
};

// A table planned for one scan, and the automaton of its folded names: key
// number k stands for pairs[pair_of_key[k]].
struct ScanTable {
  const text::KeySearch& keys;
  const std::vector<std::uint32_t>& pair_of_key;
  const std::vector<ReplacePair>& pairs;
  const std::vector<ScanEdges>& edges;
  // How the automaton reads an ASCII line.
  const std::array<char, 128>& ascii_fold;
};

// The line as the pairs make it in one scan, into `out`: each occurrence of
// a key, leftmost first, is replaced by its pair's value and the scan goes
// on behind it; an occurrence right after an "@" is left as it is, the "@"
// is removed, and the scan goes on one byte into it. `search` is the fold
// of `line`; with `ascii`, `line` itself, all below 0x80.
ScanResult ScanAllPairs(const ScanTable& table, std::string_view line, std::string_view search,
                        bool ascii, std::string& out);

}  // namespace kelmora::config
