// The plain model of a replacement table, the measure of the program's fast
// one in the unit, differential and fuzz tests: for every pair in table
// order a fresh search copy of the whole text, searched from its start, one
// edit at a time; then the function calls, one call a pass.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "template/function_calls.h"
#include "text/bounded_string.h"
#include "text/char_case.h"
#include "text/text_rules.h"

namespace kelmora::model {

inline std::string Folded(std::string_view text) {
  std::string folded(text);
  text::FoldForSearch(folded.data(), folded.size());
  return folded;
}

// No cut: a template line grows as far as its replacements take it.
inline constexpr std::size_t kLineCapacity = std::string::npos;

struct Pair {
  std::string name;
  std::string value;
  bool case_sensitive = false;
};

// The names of the functions every table evaluates, as registered.
inline std::vector<std::string> FunctionNames() {
  std::vector<std::string> names;
  const templating::FunctionRegistry registry;
  for (const templating::FunctionEntry& entry : registry.entries())
    names.push_back(entry.name.str());
  return names;
}

// What the index-th registered function makes of `argument`, which it
// receives as a short string.
inline std::string CallFunction(std::size_t index, std::string_view argument) {
  const templating::FunctionRegistry registry;
  text::ShortString text(argument);
  registry.entries()[index].handler(text);
  return text.str();
}

// One pair over `text`: after every change the key is searched from the
// start of the text again, until the pair has grown the text by more than
// 1024 bytes, or from the start of the value it put in when that value
// holds the key; from then on behind each value it inserts. A place where
// an escape kept an occurrence is marked so the key never matches across
// it; an "@" that begins the value the pair has just inserted is no escape.
// The text is cut to `capacity` after every insertion.
inline void ApplyPair(const Pair& pair, std::string& text, std::size_t capacity) {
  constexpr int kBlocked = -1;
  if (pair.name.empty()) return;
  const std::string key = pair.case_sensitive ? pair.name : Folded(pair.name);
  auto bytes = [](std::string_view of) {
    std::vector<int> out;
    for (char c : of) out.push_back(static_cast<unsigned char>(c));
    return out;
  };
  std::vector<int> search = bytes(pair.case_sensitive ? text : Folded(text));
  const std::size_t grown_too_far = text.size() + 1024;
  bool search_behind = pair.value.find(key) != std::string::npos;
  std::size_t from = 0;
  auto find_key = [&] {
    for (std::size_t at = from; at + key.size() <= search.size(); ++at)
      if (std::equal(key.begin(), key.end(), search.begin() + static_cast<long>(at),
                     [](char k, int s) { return static_cast<unsigned char>(k) == s; }))
        return at;
    return std::string::npos;
  };
  std::optional<std::size_t> inserted_at;
  for (std::size_t at = find_key(); at != std::string::npos; at = find_key()) {
    if (at > 0 && text[at - 1] == '@' && inserted_at != at - 1) {
      text.erase(at - 1, 1);
      search.erase(search.begin() + static_cast<long>(at) - 1);
      search[at - 1] = kBlocked;
      if (inserted_at && *inserted_at > at - 1) --*inserted_at;
      if (from > at - 1) --from;
      continue;
    }
    const std::vector<int> value = bytes(pair.value);
    text.replace(at, key.size(), pair.value);
    search.erase(search.begin() + static_cast<long>(at),
                 search.begin() + static_cast<long>(at + key.size()));
    search.insert(search.begin() + static_cast<long>(at), value.begin(), value.end());
    text.resize(text::WholeCharPrefix(text, capacity));
    search.resize(text.size());
    inserted_at = at;
    if (text.size() > grown_too_far) search_behind = true;
    if (search_behind) from = at + pair.value.size();
    from = std::min(from, search.size());
  }
}

// The function calls, one call a pass: every function's rightmost "name{"
// is a candidate unless an "@" stands before it, which is then removed; of
// the candidates, the "{" furthest right wins, the function registered
// first on a tie. The argument runs to the first "}" (none: empty, and the
// call is only "name{"). A line grown past `capacity` loses its beginning.
inline std::string ApplyCalls(std::string line, std::size_t capacity) {
  static const std::vector<std::string> kNames = FunctionNames();
  struct Candidate {
    std::size_t at, brace, function;
  };
  for (;;) {
    const std::string folded = Folded(line);
    std::vector<std::size_t> escapes;
    std::vector<Candidate> candidates;
    for (std::size_t function = 0; function < kNames.size(); ++function) {
      std::size_t at = folded.rfind(Folded(kNames[function]) + "{");
      if (at == std::string::npos) continue;
      if (at > 0 && line[at - 1] == '@') {
        escapes.push_back(at - 1);
      } else {
        candidates.push_back({at, at + kNames[function].size(), function});
      }
    }
    std::sort(escapes.rbegin(), escapes.rend());
    for (std::size_t at : escapes) line.erase(at, 1);
    std::optional<Candidate> chosen;
    for (Candidate candidate : candidates) {
      for (std::size_t at : escapes) {
        if (at < candidate.at) --candidate.at, --candidate.brace;
      }
      if (!chosen || candidate.brace > chosen->brace) chosen = candidate;
    }
    if (!chosen) return line;
    std::size_t close = line.find('}', chosen->brace + 1);
    std::string argument;
    std::size_t end = chosen->brace + 1;
    if (close != std::string::npos) {
      argument = line.substr(chosen->brace + 1, close - chosen->brace - 1);
      end = close + 1;
    }
    line.replace(chosen->at, end - chosen->at, CallFunction(chosen->function, argument));
    if (line.size() > capacity) line.erase(0, line.size() - capacity);
  }
}

// A table as a list of adds: one pair per folded name, greatest folded name
// first (unsigned bytes, a prefix smaller), with its first spelling and its
// last value and flag.
class Table {
 public:
  void Add(std::string_view name, std::string_view value, bool case_sensitive) {
    std::string short_name = text::ShortString(name).str();
    Pair pair{short_name, text::ShortString(value).str(), case_sensitive};
    auto [place, fresh] = pairs_.try_emplace(Folded(short_name), pair);
    if (!fresh) {
      place->second.value = pair.value;
      place->second.case_sensitive = case_sensitive;
    }
  }
  void SetApplyFunctions(bool on) { functions_ = on; }
  bool functions() const { return functions_; }

  std::vector<Pair> pairs() const {
    std::vector<Pair> in_order;
    for (const auto& [folded, pair] : pairs_) in_order.push_back(pair);
    return in_order;
  }

  // What the program's table makes of `text` cut at `capacity`: 255 for a
  // short string, kLineCapacity for a template line.
  std::string Apply(std::string text, std::size_t capacity = kLineCapacity) const {
    for (const auto& [folded, pair] : pairs_) ApplyPair(pair, text, capacity);
    return functions_ ? ApplyCalls(text, capacity) : text;
  }

 private:
  std::map<std::string, Pair, std::greater<>> pairs_;
  bool functions_ = true;
};

// The lines of a file as the template pass reads them: a line ends at CR
// or LF (CR LF and LF CR are one line end; a line end at the very end of
// the file begins no line); a line longer than `piece_limit` bytes comes in
// pieces of that many bytes, fewer where a character would be cut.
inline std::vector<std::string> Lines(std::string_view text, std::size_t piece_limit) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    while (end - at > piece_limit) {
      std::size_t piece = text::WholeCharPrefix(text.substr(at, end - at), piece_limit);
      if (piece == 0) piece = piece_limit;
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

}  // namespace kelmora::model
