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
// of at most kPieceLimit bytes, each piece ended by the file's line end.
void CheckLinesKeptWhole(std::string_view file, const std::vector<std::string_view>& pieces) {
  std::size_t next = 0;
  for (std::string_view line : LinesOf(file)) {
    std::string joined;
    do {
      FUZZ_CHECK(next < pieces.size());
      FUZZ_CHECK(pieces[next].size() <= kPieceLimit);
      FUZZ_CHECK(!pieces[next].empty() || line.empty());
      joined += pieces[next++];
    } while (joined.size() < line.size());
    FUZZ_CHECK_EQ(joined, line);
  }
  FUZZ_CHECK(next == pieces.size());
}

void CheckPass(std::string_view file, const std::vector<PairSpec>& pairs,
               MemoryFiles::Faults faults) {
  // CR LF when the file holds any CR, else the build's own line end.
  const std::string line_end(file.find('\r') == std::string_view::npos
                                 ? text::kNativeText.line_end
                                 : "\r\n");
  PassResult plain = RunTemplatePass(file, nullptr);
  FUZZ_CHECK(plain.ok);
  FUZZ_CHECK(file.empty() ? plain.file.empty() : plain.file.ends_with(line_end));
  std::vector<std::string_view> pieces = SplitAt(plain.file, line_end);
  CheckLinesKeptWhole(file, pieces);

  config::ReplaceTable table;
  if (file.find('@') == std::string_view::npos) {
    // No name and no function call to find: only the line ends change.
    FUZZ_CHECK_EQ(RunTemplatePass(file, &table).file, plain.file);
  }
  AddPairs(table, pairs);
  std::string expected;
  for (std::string_view piece : pieces) expected += ApplyToLine(table, piece) + line_end;
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
  kelmora::fuzz::MemoryFiles::Faults faults;
  faults.write = input.ConsumeIntegralInRange(0, 3);
  std::vector<kelmora::fuzz::PairSpec> pairs = kelmora::fuzz::ConsumePairs(input, 6, true);
  faults.read = input.ConsumeIntegralInRange(0, 3);
  kelmora::fuzz::CheckPass(input.ConsumeRemainingBytesAsString(), pairs, faults);
  return 0;
}
