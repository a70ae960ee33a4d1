// The one place where the fuzz targets call the units they fuzz. Each
// function takes and gives plain strings, so a change of a unit's interface
// is met here and the targets stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/names_file.h"
#include "check.h"
#include "config/config_reader.h"
#include "config/replace_table.h"
#include "console/markup.h"
#include "store/failing_file_ops.h"
#include "store/file_stream.h"
#include "store/memory_files.h"
#include "template/function_calls.h"
#include "template/template_pass.h"
#include "text/bounded_string.h"

namespace kelmora::fuzz {

// Lines read from the template come in pieces of at most this many bytes.
inline constexpr std::size_t kPieceLimit = templating::kPieceLimit;

// `text` as a template line and as a short string hold it.
inline std::string LineText(std::string_view text) { return std::string(text); }
inline std::string ShortText(std::string_view text) { return text::ShortString(text).str(); }

// A line of the template as the evaluation sees it.
inline std::string ApplyToLine(config::ReplaceTable& table, std::string_view line) {
  std::string text(line);
  table.Apply(text);
  return text;
}

// A short string (a settings line) as the evaluation sees it.
inline std::string ApplyToShort(config::ReplaceTable& table, std::string_view line) {
  text::ShortString text(line);
  table.Apply(text);
  return text.str();
}

struct PassResult {
  bool ok = true;
  std::string file;            // the file's bytes after the pass
  bool only_file_left = true;  // no other file is left beside it
};

// The template pass over a file holding `file`, each line through `table`
// (lines it cannot change passed over as the program does), or unchanged
// when `table` is null, with the file calls of `faults` failing.
inline PassResult RunTemplatePass(std::string_view file, config::ReplaceTable* table,
                                  store::FaultPlan faults = {}) {
  const std::string path = "template.txt";
  store::MemoryFiles memory;
  store::FailingFileOps failing(faults, memory.ops());
  memory.files()[path] = file;
  store::RewriteOutcome outcome;
  {
    store::FileStream stream(path, store::kOpenReadWrite, 4096, failing.ops());
    templating::ChangeFinder find_change;
    if (table != nullptr)
      find_change = [table](std::string_view lines) { return table->FirstPossibleChange(lines); };
    outcome = templating::ProcessTemplate(
        stream,
        [table](std::string& line) {
          if (table != nullptr) table->Apply(line);
        },
        store::kNoMemoryLimit, find_change);
  }
  return {outcome.ok, memory.files()[path], memory.files().size() == 1};
}

struct SettingsRead {
  bool read = false;                             // the whole file was read
  std::vector<std::vector<std::string>> values;  // per key, in file order
  std::vector<std::int32_t> wrong_lines;
  friend bool operator==(const SettingsRead&, const SettingsRead&) = default;
};

// Reads a settings file holding `bytes` with `keys` registered.
inline SettingsRead ReadSettings(std::string_view bytes, const std::vector<std::string>& keys) {
  config::ConfigReader reader;
  for (const std::string& key : keys) reader.AddKey(text::ShortString(key));
  const std::string path = "kelmora.ctl";
  store::MemoryFiles memory;
  memory.files()[path] = bytes;
  SettingsRead result;
  result.read = reader.Load(path, memory.ops()).status == config::LoadStatus::Read;
  for (std::int32_t key = 1; key <= static_cast<std::int32_t>(keys.size()); ++key) {
    std::vector<std::string>& values = result.values.emplace_back();
    for (std::int32_t number = 1; !reader.GetValue(key, number).empty(); ++number)
      values.push_back(reader.GetValue(key, number).str());
  }
  for (std::int32_t index = 1; index <= reader.WrongLineCount(); ++index)
    result.wrong_lines.push_back(reader.WrongLineNumber(index));
  // Numbers out of range give nothing.
  FUZZ_CHECK(reader.WrongLineNumber(0) == -1);
  FUZZ_CHECK(reader.WrongLineNumber(reader.WrongLineCount() + 1) == -1);
  FUZZ_CHECK(reader.GetValue(0, 1).empty());
  FUZZ_CHECK(reader.GetValue(static_cast<std::int32_t>(keys.size()) + 1, 1).empty());
  return result;
}

struct NamesRead {
  bool read = false;
  std::vector<std::pair<std::string, std::string>> pairs;  // token, replacement
  friend bool operator==(const NamesRead&, const NamesRead&) = default;
};

// Reads a names file holding `bytes`.
inline NamesRead ReadNames(std::string_view bytes) {
  const std::string path = "names.lst";
  store::MemoryFiles memory;
  memory.files()[path] = bytes;
  std::vector<app::NamePair> pairs;
  NamesRead result;
  result.read = app::ReadNamesFile(path, &pairs, memory.ops()) == 0;
  for (const app::NamePair& pair : pairs) result.pairs.emplace_back(pair.token, pair.replacement);
  return result;
}

inline void WriteMarkup(std::string_view message) {
  console::WriteMarkup(text::ShortString(message));
}

inline std::int32_t HexToInt(std::string_view text) {
  return console::HexToInt(text::ShortString(text));
}

}  // namespace kelmora::fuzz
