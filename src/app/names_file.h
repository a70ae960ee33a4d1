// Word-for-word substitutions from the names file: each line names a token
// of the template and the word that replaces it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "config/replace_table.h"
#include "platform/platform.h"
#include "store/file_ops.h"
#include "text/bounded_string.h"

namespace kelmora::app {

// Kept as plain strings: a names file may hold a hundred thousand pairs,
// and short names then take little memory.
struct NamePair {
  std::string token;
  std::string replacement;  // empty when the line holds one word
};

// The pair of one line: blanks trimmed, the look-alike Cyrillic letters made
// Latin, then the first two words split at spaces and TABs (further words
// ignored). None for a blank line. There is no comment syntax.
std::optional<NamePair> NamesLinePair(text::ShortString line);

// The pairs of the file at `path`, in file order (text-file lines, see
// store::TextFileReader). Returns the OS error code when the file cannot be
// opened or read, and then no pairs.
platform::ErrorCode ReadNamesFile(const std::string& path, std::vector<NamePair>* pairs,
                                  const store::FileOps& ops = store::SystemFileOps());

// How the names file was found: not asked for (change_names off), read, or
// reported in one line.
enum class NamesStatus { Off, Read, NotFound, NotReadable };

// With change_names on, the names file's pairs; reports nothing.
NamesStatus LoadNamePairs(const Settings& settings, std::vector<NamePair>* pairs);

// The line of a names file NotFound or NotReadable; nothing otherwise.
void ReportNamesFile(const Settings& settings, NamesStatus status);

// Adds `pairs` to `table`, letter case ignored, a later line of a token
// winning.
void AddNamePairs(const std::vector<NamePair>& pairs, config::ReplaceTable& table);

// With change_names on, adds the names file's pairs to `table`, letter case
// ignored, a later line of a token winning. A names file that is missing or
// cannot be read, or is no regular file, is reported in one line; the run
// goes on without pairs.
void LoadNamesFile(const Settings& settings, config::ReplaceTable& table);

}  // namespace kelmora::app
