// The replacement table with random pairs and function calls: its pairs
// follow the order and the last-value-wins rule, an empty table without
// function calls changes nothing, a text in which no name and no call
// occurs keeps its bytes, the result is a function of the table and the
// text, and it is what plain models of the pairs and of the calls make.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "check.h"
#include "fuzz_input.h"
#include "text/char_case.h"
#include "units.h"

namespace kelmora::fuzz {
namespace {

std::string Folded(std::string_view text) {
  std::string folded(text);
  text::FoldForSearch(folded.data(), folded.size());
  return folded;
}

// Greatest folded name first, bytes compared as unsigned values; one pair
// per folded name, with its first spelling and its last value.
void CheckPairs(const config::ReplaceTable& table, const std::vector<PairSpec>& added) {
  struct Expected {
    std::string name, value;
    bool case_sensitive;
  };
  std::map<std::string, Expected, std::greater<>> expected;
  for (const PairSpec& pair : added) {
    std::string name = ShortText(pair.name);
    std::string value = ShortText(pair.value);
    auto [place, fresh] =
        expected.try_emplace(Folded(name), Expected{name, value, pair.case_sensitive});
    if (!fresh) {
      place->second.value = value;
      place->second.case_sensitive = pair.case_sensitive;
    }
  }
  const std::vector<TablePair> pairs = PairsOf(table);
  FUZZ_CHECK(pairs.size() == expected.size());
  auto want = expected.begin();
  for (const TablePair& pair : pairs) {
    FUZZ_CHECK(pair.name == want->second.name);
    FUZZ_CHECK(pair.value == want->second.value);
    FUZZ_CHECK(pair.case_sensitive == want->second.case_sensitive);
    ++want;
  }
}

// True when no name of the table can match anywhere in `text`.
bool NoNameIn(const config::ReplaceTable& table, std::string_view text) {
  std::string folded = Folded(text);
  for (const TablePair& pair : PairsOf(table)) {
    if (pair.name.empty()) continue;
    std::string_view searched = pair.case_sensitive ? text : folded;
    std::string key = pair.case_sensitive ? pair.name : Folded(pair.name);
    if (searched.find(key) != std::string_view::npos) return false;
  }
  return true;
}

// True when no function name followed by "{" stands in `text`.
bool NoCallIn(std::string_view text) {
  static const std::vector<std::string> kNames = FunctionNames();
  std::string folded = Folded(text);
  for (const std::string& name : kNames)
    if (folded.find(Folded(name) + "{") != std::string::npos) return false;
  return true;
}

std::vector<int> Bytes(std::string_view text) {
  std::vector<int> bytes;
  for (char c : text) bytes.push_back(static_cast<unsigned char>(c));
  return bytes;
}

// The pairs applied the plain way: after every change a pair searches its
// key from the start of the text again, until it has grown the text by more
// than 1024 bytes; from then on it searches behind each value it inserts,
// so that a value that makes its key again with the text around it cannot
// grow the text without end. A place where an escape kept an occurrence is
// marked so the key never matches across it; an "@" that begins the value
// the pair has just inserted is no escape. The text is cut to `capacity`
// after every insertion.
std::string ReferencePairs(const config::ReplaceTable& table, std::string text,
                           std::size_t capacity) {
  constexpr int kBlocked = -1;
  for (const TablePair& pair : PairsOf(table)) {
    if (pair.name.empty()) continue;
    const std::string key = pair.case_sensitive ? pair.name : Folded(pair.name);
    // Byte values 0 to 255, or kBlocked.
    std::vector<int> search = Bytes(pair.case_sensitive ? text : Folded(text));
    const std::size_t grown_too_far = text.size() + 1024;
    bool search_behind = false;
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
      const std::string value = pair.value;
      const std::vector<int> value_bytes = Bytes(value);
      text.replace(at, key.size(), value);
      search.erase(search.begin() + static_cast<long>(at),
                   search.begin() + static_cast<long>(at + key.size()));
      search.insert(search.begin() + static_cast<long>(at), value_bytes.begin(), value_bytes.end());
      text.resize(text::WholeCharPrefix(text, capacity));
      search.resize(text.size());
      inserted_at = at;
      if (text.size() > grown_too_far) search_behind = true;
      if (search_behind) from = at + value.size();
    }
  }
  return text;
}

// The function calls evaluated the plain way, one call a pass: every
// function's rightmost "name{" is a candidate unless an "@" stands before
// it, which is then removed; of the candidates, the "{" furthest right wins,
// the function registered first on a tie. The argument runs to the first
// "}" (none: empty, and the call is only "name{"). A line grown past
// `capacity` loses its beginning.
std::string ReferenceCalls(std::string line, std::size_t capacity) {
  static const std::vector<std::string> kNames = FunctionNames();
  for (;;) {
    const std::string folded = Folded(line);
    std::vector<std::size_t> escapes;
    struct Candidate {
      std::size_t at, brace, function;
    };
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

std::string ReferenceApply(const config::ReplaceTable& table, std::string_view text,
                           std::size_t capacity) {
  std::string result = ReferencePairs(table, std::string(text), capacity);
  return table.ApplyFunctions() ? ReferenceCalls(result, capacity) : result;
}

// True when a pair's value holds its own key: such a value is found again
// after every insertion, and how the search goes on is the table's choice.
bool SomeValueHoldsItsKey(const config::ReplaceTable& table) {
  for (const TablePair& pair : PairsOf(table)) {
    std::string key = pair.case_sensitive ? pair.name : Folded(pair.name);
    if (!key.empty() && pair.value.find(key) != std::string_view::npos) return true;
  }
  return false;
}

// No pair inserts more than it takes away, so a text never grows.
bool NoPairGrows(const config::ReplaceTable& table) {
  for (const TablePair& pair : PairsOf(table))
    if (pair.value.size() > pair.name.size()) return false;
  return true;
}

void CheckApply(const std::vector<PairSpec>& pairs, bool functions, std::string_view line) {
  config::ReplaceTable empty;
  empty.SetApplyFunctions(false);
  FUZZ_CHECK_EQ(ApplyToLine(empty, line), LineText(line));
  FUZZ_CHECK_EQ(ApplyToShort(empty, line), ShortText(line));

  config::ReplaceTable table;
  table.SetApplyFunctions(functions);
  AddPairs(table, pairs);
  CheckPairs(table, pairs);

  std::string long_result = ApplyToLine(table, line);
  std::string short_result = ApplyToShort(table, line);
  FUZZ_CHECK_EQ(ApplyToLine(table, line), long_result);
  FUZZ_CHECK_EQ(ApplyToShort(table, line), short_result);
  FUZZ_CHECK(short_result.size() <= text::ShortString::kCapacity);

  if (NoNameIn(table, line) && (!functions || NoCallIn(line))) {
    FUZZ_CHECK_EQ(long_result, LineText(line));
    FUZZ_CHECK_EQ(short_result, ShortText(line));
  }
  if (!SomeValueHoldsItsKey(table)) {
    FUZZ_CHECK_EQ(long_result, ReferenceApply(table, LineText(line), kLineCapacity));
    FUZZ_CHECK_EQ(short_result,
                  ReferenceApply(table, ShortText(line), text::ShortString::kCapacity));
  }
  // Nothing is ever cut from a text that does not grow, so both forms agree.
  if (!functions && NoPairGrows(table) && line.size() <= text::ShortString::kCapacity)
    FUZZ_CHECK_EQ(long_result, short_result);
}

}  // namespace
}  // namespace kelmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  bool functions = input.ConsumeBool();
  std::vector<kelmora::fuzz::PairSpec> pairs = kelmora::fuzz::ConsumePairs(input, 8, false);
  kelmora::fuzz::CheckApply(pairs, functions, input.ConsumeRemainingBytesAsString());
  return 0;
}
