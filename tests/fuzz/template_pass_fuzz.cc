// The template pass over a file in memory: no byte of a line is lost when
// it is read in pieces, every line is evaluated on its own, the result is a
// function of the file, and a failed read or write leaves the original
// bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.h"
#include "fuzz_input.h"
#include "text/text_rules.h"
#include "units.h"

namespace kelmora::fuzz {
namespace {

// The pass without evaluation gives each line of the file, read in pieces
// of at most kPieceLimit bytes, each piece ended by the file's line end (CR
// LF when the file holds any CR, else the build's own); with a table, each
// piece as the model applies it.
void CheckPass(std::string_view file, const std::vector<PairSpec>& pairs, store::FaultPlan faults) {
  const std::string line_end(text::TemplateLineEnd(file.find('\r') != std::string_view::npos));
  PassResult plain = RunTemplatePass(file, nullptr);
  FUZZ_CHECK(plain.ok);
  FUZZ_CHECK(file.empty() ? plain.file.empty() : plain.file.ends_with(line_end));
  const std::vector<std::string> pieces = model::Lines(file, kPieceLimit);
  std::string joined;
  for (const std::string& piece : pieces) joined += piece + line_end;
  FUZZ_CHECK_EQ(plain.file, joined);

  config::ReplaceTable table;
  model::Table model;
  if (file.find('@') == std::string_view::npos) {
    // No name and no function call to find: only the line ends change.
    FUZZ_CHECK_EQ(RunTemplatePass(file, &table).file, plain.file);
  }
  AddPairs(table, model, pairs);
  std::string expected;
  for (const std::string& piece : pieces) expected += model.Apply(piece) + line_end;
  PassResult evaluated = RunTemplatePass(file, &table);
  FUZZ_CHECK(evaluated.ok);
  FUZZ_CHECK_EQ(evaluated.file, expected);
  FUZZ_CHECK_EQ(RunTemplatePass(file, &table).file, evaluated.file);

  PassResult faulty = RunTemplatePass(file, &table, faults);
  FUZZ_CHECK_EQ(faulty.file, faulty.ok ? expected : std::string(file));
  FUZZ_CHECK(evaluated.only_file_left && faulty.only_file_left);
}

}  // namespace
}  // namespace kelmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  kelmora::store::FaultPlan faults;
  faults.write = input.ConsumeIntegralInRange(0, 3);
  std::vector<kelmora::fuzz::PairSpec> pairs = kelmora::fuzz::ConsumePairs(input, 6, true);
  faults.read = input.ConsumeIntegralInRange(0, 3);
  kelmora::fuzz::CheckPass(input.ConsumeRemainingBytesAsString(), pairs, faults);
  return 0;
}
