#include "config/pair_pass.h"

#include <algorithm>
#include <utility>

#include "text/text_rules.h"

namespace kelmora::config {

bool Meets(std::string_view key, std::string_view text) {
  // The key starts `shift` bytes after the text does; only shifts where
  // the two overlap.
  const auto key_size = static_cast<std::ptrdiff_t>(key.size());
  const auto text_size = static_cast<std::ptrdiff_t>(text.size());
  for (std::ptrdiff_t shift = 1 - key_size; shift < text_size; ++shift) {
    const std::size_t in_key = shift < 0 ? static_cast<std::size_t>(-shift) : 0;
    const std::size_t in_text = shift < 0 ? 0 : static_cast<std::size_t>(shift);
    const std::size_t length = std::min(key.size() - in_key, text.size() - in_text);
    if (key.substr(in_key, length) == text.substr(in_text, length)) return true;
  }
  return false;
}

bool FoldMayJoinAt(char byte) {
  // In UTF-8 a continuation byte may belong to the character before it;
  // in code page 866 every byte folds alone.
  if constexpr (text::kNativeText.encoding == text::Encoding::Utf8) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
  } else {
    return false;
  }
}

bool FoldsAlone(std::string_view text) {
  if (text.empty()) return true;
  if (FoldMayJoinAt(text.front())) return false;
  if constexpr (text::kNativeText.encoding == text::Encoding::Utf8) {
    // Open at its end: a lead byte followed by fewer continuation bytes
    // than its character has, which the text after it could complete.
    std::size_t continuing = 0;
    while (continuing < 3 && continuing + 1 < text.size() &&
           FoldMayJoinAt(text[text.size() - 1 - continuing]))
      ++continuing;
    const auto lead = static_cast<unsigned char>(text[text.size() - 1 - continuing]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return continuing + 1 >= length;
  }
  return true;
}

PairPassPlan PlanPairPass(const ReplacePair& pair) {
  PairPassPlan plan;
  const std::string_view key = SearchKey(pair);
  // The value enters the search as it is. Holding the key, it sends the
  // search on behind itself; otherwise a key can be found again only
  // where it lines up with the value, or across the gap an empty value
  // leaves.
  const bool holds_key = pair.value.find(key) != std::string::npos;
  plan.in_one_pass = !key.empty() && !pair.value.empty() && (holds_key || !Meets(key, pair.value));
  Fold(pair.value, plan.folded_value);
  plan.begins_inside_character = (!key.empty() && FoldMayJoinAt(key.front())) ||
                                 (!pair.value.empty() && FoldMayJoinAt(pair.value.front()));
  return plan;
}

namespace {

// Puts the text a pass made, and its fold when the fold is kept, in place
// of the line's; `refold` when a replacement may have joined characters
// that fold together, so that the fold is made anew.
void TakePassedText(PassLine line, bool refold) {
  std::swap(line.text, line.next_text);
  if (!line.folded_current) return;
  std::swap(line.folded, line.next_folded);
  if (refold) Fold(line.text, line.folded);
}

}  // namespace

// The pass, for a pair in one pass: no occurrence is found again before the
// end of a value just put in, so the search goes on in the unchanged line,
// behind each occurrence replaced and one byte into each one escaped. An
// "@" escapes unless it begins the value this pair has just put in, which
// for a value that is not empty means the value is "@" itself, right before.
void PassPair(const ReplacePair& pair, const PairPassPlan& plan, PassLine line, std::size_t first,
              Changed& changed) {
  const std::string_view key = SearchKey(pair);
  const std::string& text = line.text;
  const std::string& search = pair.case_sensitive ? text : line.folded;
  std::size_t at = first;
  const bool keep_fold = line.folded_current;
  std::string& out = line.next_text;
  std::string& out_folded = line.next_folded;
  out.clear();
  out_folded.clear();
  bool refold = plan.begins_inside_character;
  // text[0, copied) is in out, as it stands after the pass.
  std::size_t copied = 0;
  std::size_t inserted_at = std::string::npos;
  while (at != std::string::npos) {
    out.append(text, copied, at - copied);
    if (keep_fold) out_folded.append(line.folded, copied, at - copied);
    copied = at;
    if (!out.empty() && out.back() == '@' && inserted_at != out.size() - 1) {
      out.pop_back();
      if (keep_fold) out_folded.pop_back();
      changed.Note(out.size(), 1, 0);
      at = search.find(key, at + 1);
      continue;
    }
    changed.Note(out.size(), key.size(), pair.value.size());
    inserted_at = out.size();
    out.append(pair.value);
    if (keep_fold) out_folded.append(plan.folded_value);
    copied = at + key.size();
    if (copied < text.size() && FoldMayJoinAt(text[copied])) refold = true;
    at = search.find(key, copied);
  }
  out.append(text, copied);
  if (keep_fold) out_folded.append(line.folded, copied);
  TakePassedText(line, refold);
}

}  // namespace kelmora::config
