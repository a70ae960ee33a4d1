#include "app/names_file.h"

#include <string_view>
#include <utility>

#include "app/file_names.h"
#include "console/markup.h"
#include "store/text_file.h"
#include "text/words.h"
#include "text/search.h"

namespace kelmora::app {
using text::ShortString;

std::optional<NamePair> NamesLinePair(ShortString line) {
  line = text::TrimSet(text::kBlanks, line);
  FixLookalikes(line);
  if (line.empty()) return std::nullopt;
  return NamePair{text::ExtractWord(1, line.view(), text::kBlanks).str(),
                  text::ExtractWord(2, line.view(), text::kBlanks).str()};
}

platform::ErrorCode ReadNamesFile(const std::string& path, std::vector<NamePair>* pairs,
                                  const store::FileOps& ops) {
  pairs->clear();
  store::TextFileReader file(ops);
  if (platform::ErrorCode error = file.Open(path)) return error;
  // The first line is read before the first end test: an empty file is one
  // empty line.
  do {
    ShortString line;
    file.ReadLine(&line);
    if (file.error() != 0) break;
    if (std::optional<NamePair> pair = NamesLinePair(line)) pairs->push_back(std::move(*pair));
  } while (!file.AtEnd());
  // The end test reads ahead and may be the one that fails.
  if (file.error() != 0) pairs->clear();
  return file.error();
}

NamesStatus LoadNamePairs(const Settings& settings, std::vector<NamePair>* pairs) {
  pairs->clear();
  if (!settings.change_names) return NamesStatus::Off;
  platform::PathKind kind = store::SystemFileOps().query(settings.names_file);
  if (!ExistsAsFile(kind)) return NamesStatus::NotFound;
  if (kind != platform::PathKind::File || ReadNamesFile(settings.names_file, pairs) != 0)
    return NamesStatus::NotReadable;
  return NamesStatus::Read;
}

// Continues the open "reading config" line, or stands on a line of its own
// after a wrong-line report.
void ReportNamesFile(const Settings& settings, NamesStatus status) {
  if (status == NamesStatus::NotFound) WriteFileNotLine(settings.names_file, "found");
  if (status == NamesStatus::NotReadable) WriteFileNotLine(settings.names_file, "readable");
}

void AddNamePairs(const std::vector<NamePair>& pairs, config::ReplaceTable& table) {
  for (const NamePair& pair : pairs) table.Add(pair.token, pair.replacement, false);
}

void LoadNamesFile(const Settings& settings, config::ReplaceTable& table) {
  std::vector<NamePair> pairs;
  NamesStatus status = LoadNamePairs(settings, &pairs);
  ReportNamesFile(settings, status);
  AddNamePairs(pairs, table);
}

}  // namespace kelmora::app
