// The replacement table with random pairs and function calls: its pairs
// follow the order and the last-value-wins rule, an empty table without
// function calls changes nothing, a text in which no name occurs keeps its
// bytes, and the result is a function of the table and the text.
#include <cstddef>
#include <cstdint>
#include <map>
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
    std::string name = text::ShortString(pair.name).str();
    std::string value = text::ShortString(pair.value).str();
    auto [place, fresh] = expected.try_emplace(Folded(name), Expected{name, value, pair.case_sensitive});
    if (!fresh) {
      place->second.value = value;
      place->second.case_sensitive = pair.case_sensitive;
    }
  }
  FUZZ_CHECK(table.pairs().size() == expected.size());
  auto want = expected.begin();
  for (const config::ReplacePair& pair : table.pairs()) {
    FUZZ_CHECK(pair.name.view() == want->second.name);
    FUZZ_CHECK(pair.value.view() == want->second.value);
    FUZZ_CHECK(pair.case_sensitive == want->second.case_sensitive);
    ++want;
  }
}

// True when no name of the table can match anywhere in `text`.
bool NoNameIn(const config::ReplaceTable& table, std::string_view text) {
  std::string folded = Folded(text);
  for (const config::ReplacePair& pair : table.pairs()) {
    if (pair.name.empty()) continue;
    std::string_view searched = pair.case_sensitive ? text : folded;
    std::string key = pair.case_sensitive ? pair.name.str() : Folded(pair.name.view());
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

// No pair inserts more than it takes away, so a text never grows.
bool NoPairGrows(const config::ReplaceTable& table) {
  for (const config::ReplacePair& pair : table.pairs())
    if (pair.value.size() > pair.name.size()) return false;
  return true;
}

void CheckApply(const std::vector<PairSpec>& pairs, bool functions, std::string_view line) {
  config::ReplaceTable empty;
  empty.SetApplyFunctions(false);
  FUZZ_CHECK(ApplyToLine(empty, line) == text::LongLine(line).view());
  FUZZ_CHECK(ApplyToShort(empty, line) == text::ShortString(line).view());

  config::ReplaceTable table;
  table.SetApplyFunctions(functions);
  AddPairs(table, pairs);
  CheckPairs(table, pairs);

  std::string long_result = ApplyToLine(table, line);
  std::string short_result = ApplyToShort(table, line);
  FUZZ_CHECK(ApplyToLine(table, line) == long_result);
  FUZZ_CHECK(ApplyToShort(table, line) == short_result);
  FUZZ_CHECK(short_result.size() <= text::ShortString::kCapacity);

  if (NoNameIn(table, line) && (!functions || NoCallIn(line))) {
    FUZZ_CHECK(long_result == text::LongLine(line).view());
    FUZZ_CHECK(short_result == text::ShortString(line).view());
  }
  // Nothing is ever cut from a text that does not grow, so both forms agree.
  if (!functions && NoPairGrows(table) && line.size() <= text::ShortString::kCapacity)
    FUZZ_CHECK(long_result == short_result);
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
