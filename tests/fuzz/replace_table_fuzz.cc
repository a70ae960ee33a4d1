// The replacement table with random pairs and function calls: an empty
// table without function calls changes nothing, a text in which no name and
// no call occurs keeps its bytes, the result is a function of the table and
// the text, and it is what the plain model (model/replace_model.h) makes,
// which also holds the order of the pairs and the last-value-wins rule.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.h"
#include "fuzz_input.h"
#include "units.h"

namespace kelmora::fuzz {
namespace {

using model::Folded;

// True when no name of the table can match anywhere in `text`.
bool NoNameIn(const model::Table& table, std::string_view text) {
  std::string folded = Folded(text);
  for (const model::Pair& pair : table.pairs()) {
    if (pair.name.empty()) continue;
    std::string_view searched = pair.case_sensitive ? text : folded;
    std::string key = pair.case_sensitive ? pair.name : Folded(pair.name);
    if (searched.find(key) != std::string_view::npos) return false;
  }
  return true;
}

// True when no function name followed by "{" stands in `text`.
bool NoCallIn(std::string_view text) {
  static const std::vector<std::string> kNames = model::FunctionNames();
  std::string folded = Folded(text);
  for (const std::string& name : kNames)
    if (folded.find(Folded(name) + "{") != std::string::npos) return false;
  return true;
}

// No pair inserts more than it takes away, so a text never grows.
bool NoPairGrows(const model::Table& table) {
  for (const model::Pair& pair : table.pairs())
    if (pair.value.size() > pair.name.size()) return false;
  return true;
}

void CheckApply(const std::vector<PairSpec>& pairs, bool functions, std::string_view line) {
  config::ReplaceTable empty;
  empty.SetApplyFunctions(false);
  FUZZ_CHECK_EQ(ApplyToLine(empty, line), LineText(line));
  FUZZ_CHECK_EQ(ApplyToShort(empty, line), ShortText(line));

  config::ReplaceTable table;
  model::Table model;
  table.SetApplyFunctions(functions);
  model.SetApplyFunctions(functions);
  AddPairs(table, model, pairs);

  std::string long_result = ApplyToLine(table, line);
  std::string short_result = ApplyToShort(table, line);
  FUZZ_CHECK_EQ(ApplyToLine(table, line), long_result);
  FUZZ_CHECK_EQ(ApplyToShort(table, line), short_result);
  FUZZ_CHECK(short_result.size() <= text::ShortString::kCapacity);

  if (NoNameIn(model, line) && (!functions || NoCallIn(line))) {
    FUZZ_CHECK_EQ(long_result, LineText(line));
    FUZZ_CHECK_EQ(short_result, ShortText(line));
  }
  FUZZ_CHECK_EQ(long_result, model.Apply(LineText(line)));
  FUZZ_CHECK_EQ(short_result, model.Apply(ShortText(line), text::ShortString::kCapacity));
  // Nothing is ever cut from a text that does not grow, so both forms agree.
  if (!functions && NoPairGrows(model) && line.size() <= text::ShortString::kCapacity)
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
