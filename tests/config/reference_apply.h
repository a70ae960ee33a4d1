// The plain way of applying a replacement table, kept as the measure of the
// fast one: for every pair in table order a fresh folded copy of the whole
// text, searched from its start, one edit at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/replace_table.h"
#include "template/function_calls.h"
#include "text/char_case.h"
#include "text/text_rules.h"
#include "text/search.h"

namespace kelmora::config {

inline char ReferenceByteOutside(std::string_view key) {
  for (int byte = 0; byte < 256; ++byte) {
    if (key.find(static_cast<char>(byte)) == std::string_view::npos)
      return static_cast<char>(byte);
  }
  return 0;
}

// One pair over `text`, cut to `limit` bytes after each insertion.
inline void ReferenceApplyPair(const ReplacePair& pair, std::string& text, std::size_t limit) {
  if (pair.name.empty()) return;
  std::string search = text;
  if (!pair.case_sensitive) text::FoldForSearch(search.data(), search.size());
  const std::string& key = pair.case_sensitive ? pair.name : pair.upper_name;
  if (text::FindInBuffer(search, key) < 0) return;
  bool search_behind_value = text::FindInBuffer(pair.value, key) >= 0;
  const std::size_t regrowth_limit = text.size() + 1024;
  const char blocker = ReferenceByteOutside(key);
  std::optional<std::size_t> inserted_at;
  std::size_t from = 0;
  for (;;) {
    from = std::min(from, search.size());
    std::int32_t found = text::FindInBuffer(std::string_view(search).substr(from), key);
    if (found < 0) return;
    std::size_t at = from + static_cast<std::size_t>(found);
    if (at > 0 && text[at - 1] == '@' && inserted_at != at - 1) {
      text = text.substr(0, at - 1) + text.substr(at);
      search = search.substr(0, at - 1) + search.substr(at);
      search[at - 1] = blocker;
      if (inserted_at && *inserted_at > at - 1) --*inserted_at;
      if (from > at - 1) --from;
      continue;
    }
    text = text.substr(0, at) + pair.value + text.substr(at + key.size());
    search = search.substr(0, at) + pair.value + search.substr(at + key.size());
    if (text.size() > limit) {
      std::size_t kept = text::WholeCharPrefix(text, limit);
      text.resize(kept);
      search.resize(kept);
    }
    inserted_at = at;
    // A value that keeps making its key again with the text around it
    // is, past 1024 bytes of growth, searched behind like one holding it.
    if (text.size() > regrowth_limit) search_behind_value = true;
    if (search_behind_value) from = at + pair.value.size();
  }
}

// What ReplaceTable::Apply makes of a template line.
inline std::string ReferenceApply(const ReplaceTable& table, std::string text) {
  for (const ReplacePair& pair : table.pairs())
    ReferenceApplyPair(pair, text, std::string::npos);
  if (table.ApplyFunctions()) {
    templating::FunctionRegistry registry;
    templating::EvaluateCalls(registry, text);
  }
  return text;
}

// The lines of a file as the template pass reads them: a line ends at CR
// or LF (CR LF and LF CR are one line end); a longer line than 1024 bytes
// gives pieces of 1024 bytes (fewer where a character would be cut).
inline std::vector<std::string> ReferenceLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    while (end - at > 1024) {
      std::size_t piece = text::WholeCharPrefix(text.substr(at, end - at), 1024);
      lines.emplace_back(text.substr(at, piece));
      at += piece;
    }
    lines.emplace_back(text.substr(at, end - at));
    at = end;
    if (at == text.size()) break;
    char first = text[at++];
    if (at < text.size() && text[at] != first && (text[at] == '\r' || text[at] == '\n')) ++at;
  }
  return lines;
}

}  // namespace kelmora::config
