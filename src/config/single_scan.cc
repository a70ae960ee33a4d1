#include "config/single_scan.h"

#include "config/pair_pass.h"

namespace kelmora::config {
namespace {

// Above this many byte comparisons (in the worst case) a table is not
// planned: it keeps the pair-by-pair path.
constexpr std::uint64_t kMostComparedBytes = std::uint64_t{1} << 24;

auto Byte(char c) { return static_cast<unsigned char>(c); }

// Marks in `before` the last byte of p for every split of `key` into p + q
// (neither empty) where q lines up with `text` from its start.
void MarkJoinsBefore(std::string_view key, std::string_view text, std::bitset<256>& before) {
  for (std::size_t split = 1; split < key.size(); ++split) {
    std::string_view q = key.substr(split);
    const std::size_t n = std::min(q.size(), text.size());
    if (q.substr(0, n) == text.substr(0, n)) before.set(Byte(key[split - 1]));
  }
}

// Marks in `after` the first byte of s for every split of `key` into q + s
// (neither empty) where q lines up with `text` at its end.
void MarkJoinsAfter(std::string_view key, std::string_view text, std::bitset<256>& after) {
  for (std::size_t split = 1; split < key.size(); ++split) {
    std::string_view q = key.substr(0, split);
    const std::size_t n = std::min(q.size(), text.size());
    if (q.substr(q.size() - n) == text.substr(text.size() - n)) after.set(Byte(key[split]));
  }
}

// The table clauses below that do not depend on the other pairs.
bool PairAllowsScan(const ReplacePair& pair) {
  return !pair.case_sensitive && !pair.value.empty() && pair.value.back() != '@' &&
         FoldsAlone(pair.upper_name) && FoldsAlone(pair.value) &&
         (pair.value.find(pair.upper_name) != std::string::npos ||
          !Meets(pair.upper_name, pair.value));
}

}  // namespace

// Applying the pairs one after another gives what one scan gives when every
// pass finds exactly the occurrences the scan finds, in the same places,
// and sees the same byte before each one. With K1..Kn the folded names of
// the named pairs in table order and V1..Vn their values, the table must
// meet these clauses:
//
//  1. every pair is matched in the fold (none is case-sensitive), so every
//     pass searches the same kind of text as the scan;
//  2. no value is empty: the gap would join the text around it into a key
//     of its own pair or a later one (x -> "" makes "axb" the key "ab"),
//     and bring an "@" before an occurrence of an earlier pair that pair's
//     pass never saw there;
//  3. no value ends with "@" and no key but K1 does: the byte before an
//     occurrence is then "@" in both orders or in neither (a later value
//     ending "@" is not there yet when an earlier pair's pass runs), and no
//     escape takes out an "@" that a later key ends with;
//  4. each Vi holds Ki (its search goes on behind the value) or does not
//     meet it (Meets): Ki is never found again in or across a value just
//     put in, whatever the 1024-byte growth rule decides, and "@" begins a
//     value only in one longer than the "@", so a pass's own value never
//     stands as the "@" right before its next occurrence;
//  5. for i > j, Ki does not lie inside the fold of Vj: no later pass finds
//     a key inside an earlier value;
//  6. every key and value folds alone (FoldsAlone), so the fold of a line
//     around a change is the fold it had before it.
//
// and each line must meet these, which the scan checks as it goes and
// leaves the line to the pair-by-pair path when one fails:
//
//  7. occurrences of different keys do not overlap, and no two keys end at
//     one place: they are then found alike in any order (a key may overlap
//     itself: the scan, like its pass, goes on behind an occurrence
//     replaced and one byte into one escaped);
//  8. no later key is formed across the edge of a value put in: the folded
//     byte before a value (in the text before the scan or after it) ends no
//     p of a later key p + q that lines up with the value's start, and the
//     byte after it (the next byte, the one after an "@" there, or the
//     start of a value put in right behind it) begins no s of a later key
//     q + s that lines up with its end;
//  9. no later key is formed across an "@" an escape takes out: the byte
//     before it ends no p of a later key p + q that lines up with the key
//     escaped.
//
// Together they suffice. None is idle: for each (but 6, which only the
// UTF-8 fold can break), a table that breaks only it and a line on which
// the two differ stand in the unit tests. The function calls run after the
// pairs in both, on the same text.
std::optional<std::vector<ScanEdges>> PlanSingleScan(const std::vector<ReplacePair>& pairs) {
  std::vector<std::size_t> named;
  std::uint64_t key_bytes = 0;
  std::uint64_t value_bytes = 0;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (pairs[i].name.empty()) continue;
    if (!PairAllowsScan(pairs[i])) return std::nullopt;                            // 1, 2, 3, 4, 6
    if (!named.empty() && pairs[i].upper_name.back() == '@') return std::nullopt;  // 3
    named.push_back(i);
    key_bytes += pairs[i].upper_name.size();
    value_bytes += pairs[i].value.size();
  }
  if (key_bytes * (key_bytes + value_bytes) > kMostComparedBytes) return std::nullopt;
  std::vector<ScanEdges> edges(pairs.size());
  std::string folded_value;
  for (std::size_t j = 0; j < named.size(); ++j) {
    const ReplacePair& earlier = pairs[named[j]];
    ScanEdges& edge = edges[named[j]];
    Fold(earlier.value, folded_value);
    edge.folded_value_front = Byte(folded_value.front());
    edge.folded_value_back = Byte(folded_value.back());
    for (std::size_t i = j + 1; i < named.size(); ++i) {
      const std::string& later = pairs[named[i]].upper_name;
      if (folded_value.find(later) != std::string::npos) return std::nullopt;  // 5
      MarkJoinsBefore(later, folded_value, edge.before_value);
      MarkJoinsAfter(later, folded_value, edge.after_value);
      MarkJoinsBefore(later, earlier.upper_name, edge.before_escape);
    }
    edge.watches_value = edge.before_value.any() || edge.after_value.any();
  }
  return edges;
}

namespace {

// The scan's state over one line.
class Scan {
 public:
  Scan(const ScanTable& table, std::string_view line, std::string_view search, bool ascii,
       std::string& out)
      : table_(table),
        pair_of_key_(table.pair_of_key.data()),
        pairs_(table.pairs.data()),
        edges_(table.edges.data()),
        ascii_fold_(ascii ? table.ascii_fold.data() : nullptr),
        line_(line),
        search_(search),
        ascii_(ascii),
        out_(out) {}

  ScanResult Run();

 private:
  static constexpr std::size_t kNone = std::string_view::npos;
  static constexpr int kNothing = -1;

  // The folded byte at `at` of the line.
  int FoldedAt(std::size_t at) const {
    const auto byte = Byte(search_[at]);
    return ascii_fold_ != nullptr ? Byte(ascii_fold_[byte]) : byte;
  }
  static bool Marked(const std::bitset<256>& marks, int byte) {
    return byte != kNothing && marks[static_cast<std::size_t>(byte)];
  }
  void CopyUpTo(std::size_t start);
  bool Escape(std::size_t start, const ScanEdges& edges);
  bool ValueEdgesClear(std::size_t start, std::size_t end, const ScanEdges& edges) const;
  bool Replace(std::size_t start, std::size_t end, const ReplacePair& pair, const ScanEdges& edges);
  // Copies the line up to the occurrence of pair `number` at [start, end],
  // then escapes or replaces it; false when the passes pair by pair must
  // decide.
  bool TakeOccurrence(std::size_t start, std::size_t end, std::uint32_t number);
  // The occurrence of key number `key` (alone: no shorter key ends there)
  // that ends at `end`; false when the passes pair by pair must decide.
  bool AtKeyEnd(std::size_t end, std::size_t key, bool alone);

  const ScanTable& table_;
  // The table's arrays, looked up once per line rather than per occurrence.
  const std::uint32_t* pair_of_key_;
  const ReplacePair* pairs_;
  const ScanEdges* edges_;
  const char* ascii_fold_;  // null when the line is not read through it
  std::string_view line_, search_;
  bool ascii_;
  std::string& out_;
  bool found_ = false;
  // The last occurrence found.
  std::size_t last_end_ = kNone;
  std::size_t last_key_ = 0;
  // line_[0, copied_) is in out_, as it stands after the scan.
  std::size_t copied_ = 0;
  std::size_t last_copied_ = 0;
  // The fold of out_'s last byte, and of its last byte before the last copy.
  int out_back_ = kNothing;
  int out_back_before_copy_ = kNothing;
  // The last occurrence replaced: its end, and its pair's edges.
  std::size_t replaced_end_ = kNone;
  const ScanEdges* replaced_edges_ = nullptr;
};

void Scan::CopyUpTo(std::size_t start) {
  out_back_before_copy_ = out_back_;
  last_copied_ = start - copied_;
  if (last_copied_ > 0) {
    out_.append(line_.data() + copied_, last_copied_);
    out_back_ = FoldedAt(start - 1);
  }
  copied_ = start;
}

// Takes out the "@" before the occurrence at `start`, which came with the
// last copy (no value ends with "@"); false when a later key could form
// across the place it leaves.
bool Scan::Escape(std::size_t start, const ScanEdges& edges) {
  out_.pop_back();
  out_back_ = last_copied_ >= 2 ? FoldedAt(start - 2) : out_back_before_copy_;
  if (Marked(edges.before_escape, out_back_)) return false;
  return start < 2 || !Marked(edges.before_escape, FoldedAt(start - 2));
}

// Whether no later key could form across the edges of the value put in for
// [start, end] with the bytes around it in the line or before it in out_.
bool Scan::ValueEdgesClear(std::size_t start, std::size_t end, const ScanEdges& edges) const {
  if (Marked(edges.before_value, out_back_)) return false;
  if (start > 0 && Marked(edges.before_value, FoldedAt(start - 1))) return false;
  if (end + 1 < line_.size()) {
    if (Marked(edges.after_value, FoldedAt(end + 1))) return false;
    if (line_[end + 1] == '@' && end + 2 < line_.size() &&
        Marked(edges.after_value, FoldedAt(end + 2)))
      return false;
  }
  return true;
}

// Puts the value in for the occurrence [start, end]; false when a later key
// could form across its edges. The bytes around it when a later pair's pass
// runs are those of the line or those the scan has put out before it, or,
// behind it, the start of a value put in right after it.
bool Scan::Replace(std::size_t start, std::size_t end, const ReplacePair& pair,
                   const ScanEdges& edges) {
  if (edges.watches_value && !ValueEdgesClear(start, end, edges)) return false;
  if (replaced_edges_ != nullptr && replaced_end_ + 1 == start &&
      replaced_edges_->after_value[edges.folded_value_front])
    return false;
  out_.append(pair.value);
  out_back_ = edges.folded_value_back;
  copied_ = end + 1;
  replaced_end_ = end;
  replaced_edges_ = &edges;
  return true;
}

bool Scan::TakeOccurrence(std::size_t start, std::size_t end, std::uint32_t number) {
  CopyUpTo(start);
  const ScanEdges& edges = edges_[number];
  return !out_.empty() && out_.back() == '@' ? Escape(start, edges)
                                             : Replace(start, end, pairs_[number], edges);
}

bool Scan::AtKeyEnd(std::size_t end, std::size_t key, bool alone) {
  if (!alone) return false;
  const std::uint32_t number = pair_of_key_[key];
  const std::size_t start = end + 1 - pairs_[number].upper_name.size();
  if (last_end_ != kNone && start <= last_end_) {
    if (key != last_key_) return false;
    // Its start was replaced, as its pass would have done.
    if (replaced_end_ != kNone && start <= replaced_end_) {
      last_end_ = end;
      return true;
    }
  }
  last_end_ = end;
  last_key_ = key;
  if (!found_) {
    out_.clear();
    found_ = true;
  }
  return TakeOccurrence(start, end, number);
}

ScanResult Scan::Run() {
  bool whole = true;
  auto at_end = [&](std::size_t end, std::size_t key, bool alone) {
    whole = AtKeyEnd(end, key, alone);
    return whole;
  };
  if (ascii_) {
    table_.keys.ForEachKeyEndInAscii(search_, at_end);
  } else {
    table_.keys.ForEachKeyEnd(search_, at_end);
  }
  if (!whole) return ScanResult::PairByPair;
  if (!found_) return ScanResult::NoKey;
  out_.append(line_.data() + copied_, line_.size() - copied_);
  return ScanResult::Scanned;
}

}  // namespace

ScanResult ScanAllPairs(const ScanTable& table, std::string_view line, std::string_view search,
                        bool ascii, std::string& out) {
  return Scan(table, line, search, ascii, out).Run();
}

}  // namespace kelmora::config
