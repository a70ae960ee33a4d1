// The rollback journal: a file's original bytes, kept beside it while the
// file is rewritten in place, so that a rewrite cut short by a crash or a
// power cut can be undone by the next run.
//
// Layout: the 8 bytes "KELMJRN1", the original size and an FNV-1a 64-bit
// checksum of the original bytes (each 8 bytes, little-endian), then the
// original bytes. A journal is complete when all of that is there and the
// checksum matches; only a complete journal is ever written back.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "store/file_ops.h"

namespace kelmora::store {

// The journal of the file at `file_path`: the same path with a fixed suffix.
std::string JournalPath(const std::string& file_path);

// Creates the journal, which must not exist yet, holding `original`, and
// returns once it is on disk. On failure nothing is left behind.
platform::ErrorCode WriteJournal(const std::string& journal_path, std::string_view original,
                                 const FileOps& ops);

enum class JournalState {
  Missing,
  // Ours, but cut short: the file was never touched.
  Incomplete,
  Complete,
  // Not a journal of this program, or it cannot be read: left alone.
  Foreign,
};

struct Journal {
  JournalState state = JournalState::Missing;
  std::string original;  // only when Complete
};

Journal ReadJournal(const std::string& journal_path, const FileOps& ops);

// What the check made at the start of a run found.
struct Recovery {
  enum Result {
    Nothing,   // no journal of ours, or no file to restore
    Discarded, // an incomplete journal, removed
    Restored,  // the original bytes are back and the journal is removed
    Failed,    // writing them back failed; the journal is kept
  };
  Result result = Nothing;
  platform::ErrorCode error = 0;
};

// Undoes a rewrite that an earlier run left unfinished, if there is one.
Recovery RecoverFromJournal(const std::string& file_path, const FileOps& ops);

}  // namespace kelmora::store
