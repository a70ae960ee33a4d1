// How fast a template is rewritten and a line evaluated.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "config/replace_table.h"
#include "store/file_stream.h"
#include "store/line_reader.h"
#include "template/template_pass.h"

namespace kelmora {
namespace {

// The driver's table: a few names-file pairs and the two live values.
config::ReplaceTable DriverTable() {
  config::ReplaceTable table;
  table.Add("Alice", "Alice Liddell", false);
  table.Add("Bob", "Robert", false);
  table.Add("winamp", "the player", false);
  table.Add("@BirthTime", "4A3F21", false);
  table.Add("@CurrentSong", "[Some Artist - Some Song]", false);
  return table;
}

const char kLine[] =
    "Up @BirthTime days, playing @CurrentSong for alice and BOB, "
    "@SIZE{4|123456789} free, mostly plain text that names nobody at all.";

std::string GeneratedTemplate(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    if (i % 4 == 0)
      text += kLine;
    else
      text += "line " + std::to_string(i) + " of plain text without any names in it";
    text += i % 2 ? "\n" : "\r\n";
  }
  return text;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void BM_TemplatePass(benchmark::State& state) {
  const std::string original = GeneratedTemplate(static_cast<int>(state.range(0)));
  const auto path = std::filesystem::temp_directory_path() / "kelmora-bench-template.txt";
  config::ReplaceTable table = DriverTable();
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(path, original);
    state.ResumeTiming();
    store::FileStream stream(path.string(), store::kOpenReadWrite, 4096);
    store::RewriteOutcome outcome =
        templating::ProcessTemplate(stream, [&table](std::string& line) { table.Apply(line); });
    benchmark::DoNotOptimize(outcome);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(original.size()));
  std::filesystem::remove(path);
}
BENCHMARK(BM_TemplatePass)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SplitLines(benchmark::State& state) {
  const std::string original = GeneratedTemplate(10000);
  for (auto _ : state) {
    store::LineSplitter lines(original, templating::kPieceLimit);
    std::string_view line;
    while (lines.Next(line)) benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(original.size()));
}
BENCHMARK(BM_SplitLines)->Unit(benchmark::kMillisecond);

template <class Text>
void BM_Apply(benchmark::State& state) {
  config::ReplaceTable table = DriverTable();
  const Text source(kLine);
  for (auto _ : state) {
    Text text = source;
    table.Apply(text);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK_TEMPLATE(BM_Apply, std::string);
BENCHMARK_TEMPLATE(BM_Apply, text::ShortString);

void BM_ApplyPlainLine(benchmark::State& state) {
  config::ReplaceTable table = DriverTable();
  const std::string source("line 1234 of plain text without any names in it");
  for (auto _ : state) {
    std::string text = source;
    table.Apply(text);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_ApplyPlainLine);

// The pairs alone, without the function calls that follow them.
void BM_ApplyPairsOnly(benchmark::State& state) {
  config::ReplaceTable table = DriverTable();
  table.SetApplyFunctions(false);
  const std::string source(kLine);
  for (auto _ : state) {
    std::string text = source;
    table.Apply(text);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_ApplyPairsOnly);

// A line where nearly every word is a name: ten names of eight letters in
// any letter case among a few words of text, all replaced in one scan.
void BM_ApplyNameDenseLine(benchmark::State& state) {
  static const char* const kPairs[][2] = {{"yntxqwwz", "LK8-8M38"},   {"pvwnzros", "8HJJ17B"},
                                          {"ypzzossx", "DM7-02"},     {"xytxquup", "K516JJKBAH"},
                                          {"wnvsonsp", "L4GI08F958"}, {"wzttyrxx", "B5A1KGMC"},
                                          {"prqxsusx", "20-JE-A1B"},  {"uspsuxuz", "8H652AGEEM"},
                                          {"uttzvsos", "J054C1FGC"},  {"wtnruwxz", "K-H290D727"}};
  config::ReplaceTable table;
  for (const auto& pair : kPairs) table.Add(pair[0], pair[1], false);
  const std::string source(
      "Yntxqwwz Pvwnzros wzttyrxx ibeeii hmlglmki ibeeii wnvsonsp wtnruwxz Yntxqwwz WNVSONSP ld");
  for (auto _ : state) {
    std::string text = source;
    table.Apply(text);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}
BENCHMARK(BM_ApplyNameDenseLine);

}  // namespace
}  // namespace kelmora

BENCHMARK_MAIN();
