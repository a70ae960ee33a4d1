// Tables made from the fuzzer's bytes, for the fuzz targets.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>
#include <vector>

#include "config/replace_table.h"
#include "model/replace_model.h"

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

// Adds `pairs` to the program's table and to the model.
inline void AddPairs(config::ReplaceTable& table, model::Table& model,
                     const std::vector<PairSpec>& pairs) {
  for (const PairSpec& pair : pairs) {
    table.Add(pair.name, pair.value, pair.case_sensitive);
    model.Add(pair.name, pair.value, pair.case_sensitive);
  }
}

}  // namespace kelmora::fuzz
