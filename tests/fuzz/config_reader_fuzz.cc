// The settings reader over random files: one value or one wrong line at
// most per physical line, wrong lines by ascending line number, values
// stripped of comments, quotes and line ends, line ends of every kind read
// alike, a trailing comment line changing nothing, and values written back
// reading back alike.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.h"
#include "config/settings_keys.h"
#include "fuzz_input.h"
#include "units.h"

namespace kelmora::fuzz {
namespace {

std::string Joined(const std::vector<std::string>& lines, std::string_view end) {
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += end;
    joined += lines[i];
  }
  return joined;
}

void CheckValue(const std::string& value) {
  FUZZ_CHECK(!value.empty());
  FUZZ_CHECK(value.size() <= text::ShortString::kCapacity);
  FUZZ_CHECK(value.find_first_of("\r\n;") == std::string::npos);
  FUZZ_CHECK(value.front() != '"' && value.back() != '"');
}

// Every value written back on a line of its key, in double quotes, reads
// back as itself.
void CheckWrittenBack(const SettingsRead& read, const std::vector<std::string>& keys,
                      std::size_t program_keys) {
  std::string written;
  for (std::size_t key = 0; key < program_keys; ++key) {
    for (const std::string& value : read.values[key]) {
      std::string line = keys[key] + " \"" + value + "\"";
      if (line.size() > text::ShortString::kCapacity) return;
      written += line + "\r\n";
    }
  }
  SettingsRead again = ReadSettings(written, keys);
  FUZZ_CHECK(again.wrong_lines.empty());
  for (std::size_t key = 0; key < program_keys; ++key)
    FUZZ_CHECK(again.values[key] == read.values[key]);
}

void CheckSettings(std::string_view file, const std::vector<std::string>& keys,
                   std::size_t program_keys) {
  SettingsRead read = ReadSettings(file, keys);
  FUZZ_CHECK(read.read);
  const std::vector<std::string> lines = model::Lines(file, std::string::npos);
  const auto line_count = static_cast<std::int32_t>(std::max<std::size_t>(lines.size(), 1));

  std::size_t value_count = 0;
  for (const std::vector<std::string>& values : read.values) {
    value_count += values.size();
    for (const std::string& value : values) CheckValue(value);
  }
  FUZZ_CHECK(value_count + read.wrong_lines.size() <= static_cast<std::size_t>(line_count));
  for (std::size_t i = 0; i < read.wrong_lines.size(); ++i) {
    FUZZ_CHECK(read.wrong_lines[i] >= 1 && read.wrong_lines[i] <= line_count);
    FUZZ_CHECK(i == 0 || read.wrong_lines[i - 1] < read.wrong_lines[i]);
  }

  FUZZ_CHECK(ReadSettings(file, keys) == read);
  FUZZ_CHECK(ReadSettings(Joined(lines, "\r\n"), keys) == read);
  FUZZ_CHECK(ReadSettings(Joined(lines, "\n"), keys) == read);
  FUZZ_CHECK(ReadSettings(std::string(file) + "\r\n; the end\r\n", keys) == read);
  CheckWrittenBack(read, keys, program_keys);
}

}  // namespace
}  // namespace kelmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::string> keys;
  for (const kelmora::config::SettingsKeyName& key : kelmora::config::kSettingsKeys)
    keys.emplace_back(key.name);
  const std::size_t program_keys = keys.size();
  if (std::string extra = input.ConsumeRandomLengthString(16); !extra.empty())
    keys.push_back(extra);
  kelmora::fuzz::CheckSettings(input.ConsumeRemainingBytesAsString(), keys, program_keys);
  return 0;
}
