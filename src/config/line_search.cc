#include "config/line_search.h"

#include <algorithm>
#include <functional>
#include <limits>

#include "template/function_calls.h"
#include "text/char_case.h"

namespace kelmora::config {
namespace {

// Above this many entries the automaton is never built: the pairs are then
// searched one by one.
constexpr std::uint64_t kMostTableEntries = std::uint64_t{1} << 28;

// How many byte comparisons of pair-by-pair search one table entry of the
// automaton is worth: it is built once the lines searched pair by pair have
// cost that much.
constexpr std::uint64_t kSearchPerTableEntry = 8;

// A pair's head (LineSearch::heads_): its folded key's first two bytes as
// first * 256 + second; kOneByte plus the byte for a key of one byte; or
// one of the marks below.
constexpr std::uint32_t kOneByte = 1u << 16;
constexpr std::uint32_t kSearchAlways = 2u << 16;  // case-sensitive
constexpr std::uint32_t kNoKey = 3u << 16;

std::uint32_t HeadOf(const ReplacePair& pair) {
  if (pair.name.empty()) return kNoKey;
  if (pair.case_sensitive) return kSearchAlways;
  const auto first = static_cast<unsigned char>(pair.upper_name[0]);
  if (pair.upper_name.size() == 1) return kOneByte + first;
  return first * 256u + static_cast<unsigned char>(pair.upper_name[1]);
}

}  // namespace

LineSearch::LineSearch(const std::vector<ReplacePair>& pairs, bool calls_evaluated)
    : ascii_stops_(calls_evaluated ? templating::kCallOpen : ""),
      build_after_(std::numeric_limits<std::uint64_t>::max()) {
  heads_.reserve(pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    heads_.push_back(HeadOf(pairs[i]));
    if (pairs[i].name.empty()) continue;
    auto number = static_cast<std::uint32_t>(i);
    (pairs[i].case_sensitive ? case_sensitive_pairs_ : pair_of_key_).push_back(number);
  }
  queued_in_.assign(pairs.size(), 0);
  plans_.resize(pairs.size());
  planned_.assign(pairs.size(), false);
  // An ASCII byte is a whole character under every fold, folded alone.
  for (std::size_t byte = 0; byte < ascii_fold_.size(); ++byte) {
    char c = static_cast<char>(byte);
    text::FoldForSearch(&c, 1);
    ascii_fold_[byte] = c;
    if (static_cast<unsigned char>(c) >= 0x80) ascii_fold_usable_ = false;
  }
  keys_ = KeySearchOf({});
  std::uint64_t entries = text::KeySearch::TableEntries(Keys(pairs));
  if (!pair_of_key_.empty() && entries <= kMostTableEntries)
    build_after_ = entries * kSearchPerTableEntry;
}

text::KeySearch LineSearch::KeySearchOf(const std::vector<std::string_view>& keys) const {
  return text::KeySearch(keys, ascii_fold_, ascii_stops_);
}

std::vector<std::string_view> LineSearch::Keys(const std::vector<ReplacePair>& pairs) const {
  std::vector<std::string_view> keys;
  keys.reserve(pair_of_key_.size());
  for (std::uint32_t number : pair_of_key_) keys.push_back(pairs[number].upper_name);
  return keys;
}

void LineSearch::Apply(const std::vector<ReplacePair>& pairs, std::string& line) {
  if (!keys_built_ && searched_pair_by_pair_ >= build_after_) {
    keys_ = KeySearchOf(Keys(pairs));
    keys_built_ = true;
    if (ascii_fold_usable_) scan_edges_ = PlanSingleScan(pairs);
  }
  if (keys_built_ && scan_edges_) {
    ApplyInOneScan(pairs, line);
  } else if (keys_built_) {
    ApplyByKeySearch(pairs, line);
  } else {
    searched_pair_by_pair_ += (line.size() + 16) * pair_of_key_.size();
    ApplyPairByPair(pairs, line);
  }
}

void LineSearch::ApplyInOneScan(const std::vector<ReplacePair>& pairs, std::string& line) {
  const bool ascii = IsAscii(line);
  if (!ascii) FoldLine(line);
  const std::string_view search = ascii ? std::string_view(line) : std::string_view(folded_);
  const ScanTable table{keys_, pair_of_key_, pairs, *scan_edges_, ascii_fold_};
  switch (ScanAllPairs(table, line, search, ascii, next_text_)) {
    case ScanResult::NoKey: return;
    case ScanResult::Scanned: std::swap(line, next_text_); return;
    case ScanResult::PairByPair: ApplyByKeySearch(pairs, line); return;
  }
}

const PairPassPlan& LineSearch::PlanOf(const std::vector<ReplacePair>& pairs, std::uint32_t pair) {
  if (!planned_[pair]) {
    plans_[pair] = PlanPairPass(pairs[pair]);
    planned_[pair] = true;
  }
  return plans_[pair];
}

std::size_t LineSearch::FindIn(const ReplacePair& pair, const std::string& line) {
  if (!pair.case_sensitive && !folded_current_) {
    FoldLine(line);
    folded_current_ = true;
  }
  return (pair.case_sensitive ? line : folded_).find(SearchKey(pair));
}

bool LineSearch::ApplyOne(const std::vector<ReplacePair>& pairs, std::uint32_t pair,
                          std::string& line, Changed& changed) {
  const std::size_t first = FindIn(pairs[pair], line);
  if (first == std::string::npos) return false;
  ApplyFound(pairs, pair, line, first, changed);
  return true;
}

void LineSearch::ApplyFound(const std::vector<ReplacePair>& pairs, std::uint32_t pair,
                            std::string& line, std::size_t first, Changed& changed) {
  const ReplacePair& applied = pairs[pair];
  const PairPassPlan& plan = PlanOf(pairs, pair);
  if (plan.in_one_pass) {
    PassPair(applied, plan, PassLine{line, folded_, folded_current_, next_text_, next_folded_},
             first, changed);
    return;
  }
  ApplyPair(applied, line, folded_, search_, kGrowsWhole, changed);
  // folded_ was the pair's search copy, or the fold of the line before.
  folded_current_ = false;
}

void LineSearch::TakeFoldBytes(const std::string& line) {
  if (!folded_current_) {
    FoldLine(line);
    folded_current_ = true;
  }
  fold_pairs_.reset();
  fold_bytes_.reset();
  for (std::size_t i = 0; i < folded_.size(); ++i) {
    const auto byte = static_cast<unsigned char>(folded_[i]);
    fold_bytes_.set(byte);
    if (i > 0) fold_pairs_.set(static_cast<unsigned char>(folded_[i - 1]) * 256u + byte);
  }
  fold_bytes_current_ = true;
}

// With many pairs, most keys stand nowhere in a line: the byte pairs of its
// fold pass them over on their heads alone, without a search or a look at
// the pair.
void LineSearch::ApplyPairByPair(const std::vector<ReplacePair>& pairs, std::string& line) {
  folded_current_ = false;
  fold_bytes_current_ = false;
  for (std::uint32_t number = 0; number < pairs.size(); ++number) {
    const std::uint32_t head = heads_[number];
    if (head == kNoKey) continue;
    if (head != kSearchAlways) {
      if (!fold_bytes_current_) TakeFoldBytes(line);
      if (!(head < kOneByte ? fold_pairs_[head] : fold_bytes_[head - kOneByte])) continue;
    }
    const std::size_t first = FindIn(pairs[number], line);
    if (first == std::string::npos) continue;
    Changed changed;
    ApplyFound(pairs, number, line, first, changed);
    fold_bytes_current_ = false;
  }
}

std::size_t LineSearch::FirstPossibleChange(std::string_view text) const {
  // Pairs of one letter case are not in the automaton, and an ASCII byte
  // that folds beyond ASCII is not read byte by byte: any line may change.
  if (!case_sensitive_pairs_.empty() || !ascii_fold_usable_) return 0;
  if (!pair_of_key_.empty() && !keys_built_) return 0;
  return keys_.FirstKeyOrStopInAscii(text);
}

void LineSearch::FoldAscii(std::string_view line, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    folded_[i] = ascii_fold_[static_cast<unsigned char>(line[i])];
}

// The line folded into folded_; an ASCII line byte by byte.
void LineSearch::FoldLine(std::string_view line) {
  if (!ascii_fold_usable_ || !IsAscii(line)) {
    Fold(line, folded_);
    return;
  }
  folded_.resize(line.size());
  FoldAscii(line, 0, line.size());
}

// Makes folded_ the fold of `line` again after a pair used it as its search
// copy: it differs only in [from, to). An ASCII line folds byte by byte, so
// only that part is folded again.
void LineSearch::RefoldChanged(std::string_view line, std::size_t from, std::size_t to) {
  if (folded_.size() != line.size() || !ascii_fold_usable_ || !IsAscii(line)) {
    FoldLine(line);
    return;
  }
  FoldAscii(line, from, std::min(to, line.size()));
}

void LineSearch::Enqueue(std::uint32_t pair) {
  if (queued_in_[pair] == line_number_) return;
  queued_in_[pair] = line_number_;
  queue_.push_back(pair);
  std::push_heap(queue_.begin(), queue_.end(), std::greater<>());
}

void LineSearch::QueuePairsIn(std::string_view line) {
  if (++line_number_ == 0) {
    std::fill(queued_in_.begin(), queued_in_.end(), 0);
    line_number_ = 1;
  }
  queue_.clear();
  // An ASCII line is searched as it is, and folded only when it holds a
  // key.
  auto found = [this](std::size_t key) { Enqueue(pair_of_key_[key]); };
  const bool read_as_ascii = ascii_fold_usable_ && IsAscii(line);
  if (read_as_ascii) {
    keys_.ForEachKeyInAscii(line, found);
  } else {
    FoldLine(line);
    keys_.ForEachKeyIn(folded_, found);
  }
  for (std::uint32_t pair : case_sensitive_pairs_) Enqueue(pair);
  if (!queue_.empty() && read_as_ascii) FoldLine(line);
  folded_current_ = !queue_.empty() || !read_as_ascii;
}

// The same result as ApplyEachPair, but only the pairs that occur in the
// line are looked at: those the automaton finds in the folded line at the
// start, and those it finds around each change a pair makes. A pair found
// nowhere is never searched for on its own.
void LineSearch::ApplyByKeySearch(const std::vector<ReplacePair>& pairs, std::string& line) {
  QueuePairsIn(line);
  // A key can span a change by its length less one byte on either side;
  // four more bytes cover a fold that reads a character around the change.
  const std::size_t margin = keys_.longest_key() + 3;
  while (!queue_.empty()) {
    std::pop_heap(queue_.begin(), queue_.end(), std::greater<>());
    const std::uint32_t applied = queue_.back();
    queue_.pop_back();
    Changed changed;
    if (!ApplyOne(pairs, applied, line, changed)) continue;
    if (!folded_current_) {
      RefoldChanged(line, changed.from, changed.to + 1);
      folded_current_ = true;
    }
    std::size_t from = changed.from > margin ? changed.from - margin : 0;
    std::size_t to = std::min(line.size(), changed.to + margin);
    if (from >= to) continue;
    keys_.ForEachKeyIn(std::string_view(folded_).substr(from, to - from), [&](std::size_t key) {
      std::uint32_t later = pair_of_key_[key];
      if (later > applied) Enqueue(later);
    });
  }
}

void SearchedPairs::Add(ReplacePair pair) {
  search_.reset();
  if (auto found = index_.find(pair.upper_name); found != index_.end()) {
    ReplacePair& kept = pairs_[found->second];
    kept.value = std::move(pair.value);
    kept.case_sensitive = pair.case_sensitive;
    return;
  }
  index_.emplace(pair.upper_name, pairs_.size());
  pairs_.push_back(std::move(pair));
}

void SearchedPairs::SetCallsEvaluated(bool on) {
  search_.reset();
  calls_evaluated_ = on;
}

void SearchedPairs::SortAdded() {
  search_.reset();
  auto greater = [](const ReplacePair& a, const ReplacePair& b) {
    return a.upper_name > b.upper_name;
  };
  auto added = pairs_.begin() + static_cast<std::ptrdiff_t>(sorted_);
  std::sort(added, pairs_.end(), greater);
  std::inplace_merge(pairs_.begin(), added, pairs_.end(), greater);
  sorted_ = pairs_.size();
  for (std::size_t i = 0; i < pairs_.size(); ++i) index_[pairs_[i].upper_name] = i;
}

}  // namespace kelmora::config
