// Shared pieces of the fuzz targets: tables made from the fuzzer's bytes,
// and the split of a file into lines by its line ends.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>
#include <vector>

#include "config/replace_table.h"

namespace kelmora::fuzz {

struct PairSpec {
  std::string name;
  std::string value;
  bool case_sensitive = false;
};

// Up to `most` pairs of short random texts. Values hold no CR or LF when
// `single_line_values`, as in every table of the program.
inline std::vector<PairSpec> ConsumePairs(FuzzedDataProvider& input, std::size_t most,
                                          bool single_line_values) {
  std::vector<PairSpec> pairs(input.ConsumeIntegralInRange<std::size_t>(0, most));
  for (PairSpec& pair : pairs) {
    pair.name = input.ConsumeRandomLengthString(24);
    pair.value = input.ConsumeRandomLengthString(24);
    pair.case_sensitive = input.ConsumeBool();
    if (single_line_values)
      std::erase_if(pair.value, [](char c) { return c == '\r' || c == '\n'; });
  }
  return pairs;
}

inline void AddPairs(config::ReplaceTable& table, const std::vector<PairSpec>& pairs) {
  for (const PairSpec& pair : pairs) table.Add(pair.name, pair.value, pair.case_sensitive);
}

// The lines of `file` split at its line ends: CR LF and LF CR are one line
// end each, CR and LF alone one each. A line end at the very end of the file
// ends the last line and begins none; an empty file has no lines.
inline std::vector<std::string_view> LinesOf(std::string_view file) {
  std::vector<std::string_view> lines;
  std::size_t begin = 0;
  while (begin < file.size()) {
    std::size_t end = file.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) end = file.size();
    lines.push_back(file.substr(begin, end - begin));
    if (end == file.size()) break;
    std::size_t next = end + 1;
    if (next < file.size() && file[next] != file[end] && (file[next] == '\r' || file[next] == '\n'))
      ++next;
    begin = next;
    if (begin == file.size()) break;
  }
  return lines;
}

// `text` cut at every `line_end`; a text that does not end in it gives its
// tail as a last element.
inline std::vector<std::string_view> SplitAt(std::string_view text, std::string_view line_end) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    std::size_t end = text.find(line_end);
    if (end == std::string_view::npos) {
      parts.push_back(text);
      break;
    }
    parts.push_back(text.substr(0, end));
    text.remove_prefix(end + line_end.size());
  }
  return parts;
}

}  // namespace kelmora::fuzz
