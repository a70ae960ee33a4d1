// The rollback journal: a file's original bytes, kept beside it while the
// file is rewritten in place, so that a rewrite cut short by a crash or a
// power cut can be undone by the next run.
//
// Layout: a header block of kJournalBlock bytes (the 8 bytes "KELMJRN2",
// the original size and the XXH3 64-bit checksum of the original bytes,
// each 8 bytes little-endian, then zero bytes), the original bytes, and zero
// bytes up to a whole block. A journal is complete when it has exactly that
// length and the checksum matches; only a complete journal is ever written
// back. Journals of the first layout ("KELMJRN1": a 24-byte header with an
// FNV-1a checksum, the original bytes, nothing after them) are read too.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "store/file_ops.h"

namespace kelmora::store {

// The journal of the file at `file_path`: the same path with a fixed suffix.
std::string JournalPath(const std::string& file_path);

inline constexpr std::size_t kJournalBlock = platform::kDirectWriteBlock;

// A file's original bytes laid out as its journal, in memory aligned so
// that the journal goes to the disk in one write that need not pass through
// the OS's cache. The file is read straight into data().
class JournalImage {
 public:
  // Room for `size` original bytes; throws std::bad_alloc without memory.
  explicit JournalImage(std::size_t size);

  // Where the original bytes go.
  char* data() { return start_ + kJournalBlock; }
  std::string_view original() const { return {start_ + kJournalBlock, size_}; }
  // The whole journal, header filled in from the original bytes as they are now.
  std::string_view Seal();

 private:
  std::unique_ptr<char[]> storage_;
  char* start_;
  std::size_t size_;
};

// Creates the journal, which must not exist yet, holding the original bytes
// of `image`, and returns once it is on disk. On failure nothing is left
// behind.
platform::ErrorCode WriteJournal(const std::string& journal_path, JournalImage& image,
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
