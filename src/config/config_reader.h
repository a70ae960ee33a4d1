// A reader of keyed settings files. Each line holds a registered key and its
// value; ";" starts a comment; "@Define NAME VALUE" lines define names that
// are replaced in every later line of the same file. Lines that are neither
// blank, a definition nor a key line are remembered as wrong lines. The
// reader prints nothing: the caller reports what it finds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/replace_table.h"
#include "platform/platform.h"
#include "store/file_ops.h"
#include "text/bounded_string.h"

namespace kelmora::config {

enum class LoadStatus {
  Read,        // the file was read to its end (an empty file included)
  NotFound,    // no such file, or a directory: nothing was read
  NoKeys,      // no key is registered: nothing was read
  Unreadable,  // the file exists but could not be opened or read, or it is
               // no regular file (a FIFO, a device), which is never opened
};

struct LoadResult {
  LoadStatus status = LoadStatus::Read;
  // The OS's error code when Unreadable, otherwise 0.
  platform::ErrorCode error = 0;
};

class ConfigReader {
 public:
  // No keys, no wrong lines; an empty table of definitions that never
  // evaluates function calls.
  ConfigReader();

  // Registers `name` (not empty) as the next key; its number is its 1-based
  // place in the order of registration. Duplicates are not checked.
  void AddKey(const text::ShortString& name);

  // Reads the file `file_name` (opened for reading, others may read and
  // write it meanwhile). Values found are appended to those of an earlier
  // Load, and definitions stay; only the wrong lines start afresh. After a
  // read failure the lines before it have been taken in.
  LoadResult Load(const std::string& file_name, const store::FileOps& ops = store::SystemFileOps());

  // The value_number-th value (1-based, in file order) of the key_number-th
  // key; the empty text for any number out of range. A key's values are the
  // non-empty values of the lines of that key.
  text::ShortString GetValue(std::int32_t key_number, std::int32_t value_number) const;

  // Wrong lines of the last Load, as physical line numbers from 1, ascending.
  std::int32_t WrongLineCount() const;
  // The index-th (1-based) wrong line's number; -1 when out of range.
  std::int32_t WrongLineNumber(std::int32_t index) const;

 private:
  struct Key {
    text::ShortString name;
    std::vector<text::ShortString> values;
  };

  // Takes in one physical line; false when it is a wrong line.
  bool ParseLine(text::ShortString line);
  // True when `line` is a "@Define" line; its definition is then added.
  bool TryDefine(text::ShortString line);
  // True when `line` (not empty) begins with a key; its value is then kept.
  bool TryKey(text::ShortString line);

  std::vector<Key> keys_;
  std::vector<std::int32_t> wrong_lines_;
  ReplaceTable defines_;
};

}  // namespace kelmora::config
