// Keeping a file whole while it is rewritten in place: the crash-safe
// rewrite. The new content is made by a producer from the file's original
// bytes and put over the file as it comes; the original bytes are kept in
// the file's journal (store/journal.h) meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "store/file_stream.h"
#include "store/line_source.h"

namespace kelmora::store {

// No cap on the memory a rewrite may take.
inline constexpr std::size_t kNoMemoryLimit = std::numeric_limits<std::size_t>::max();

// How a rewrite ended. When it failed, `error` is the OS's code for the
// reason (or platform::kNotRegularFile, platform::kFileChanged,
// platform::kNotEnoughMemory) and the file holds its original bytes again,
// unless `damaged`.
struct RewriteOutcome {
  bool ok = true;
  platform::ErrorCode error = 0;
  // Writing the original bytes back failed too (for `restore_error`), and
  // the file does not hold them: it may be anything. They are kept in
  // `journal`, unless that is empty.
  bool damaged = false;
  platform::ErrorCode restore_error = 0;
  std::string journal;
  // Not damaged, but the journal `journal` could not be removed (for
  // `journal_error`); it is marked finished, so that no later run puts it
  // back, when `journal_marked`.
  platform::ErrorCode journal_error = 0;
  bool journal_marked = false;
};

// The outcome of a rewrite that failed for `error` before it changed the
// file.
RewriteOutcome FailedWith(platform::ErrorCode error);

// Takes the next piece of the new content; false stops the producer.
using PieceSink = std::function<bool(std::string_view piece)>;

enum class Production { Done, OutOfMemory, Stopped, ReadFailed };

// Makes the new content from `original` and hands it to `sink` in order.
// OutOfMemory when memory runs out; Stopped when `sink` said so;
// ReadFailed when a read failed: the rewrite then fails with the reader's
// error where it read the original in pieces, and with kFileChanged where
// it read some other file (its producer knows why).
using Producer = std::function<Production(std::string_view original, const PieceSink& sink)>;

// The original bytes of a file, to be read in pieces.
struct OriginalPieces {
  std::uint64_t size = 0;
  bool holds_cr = false;  // a CR byte stands somewhere in them
  PieceReader read;
};
using PieceProducer =
    std::function<Production(const OriginalPieces& original, const PieceSink& sink)>;

// A file of this many bytes or more is not held in memory to be rewritten,
// where its journal can be made.
inline constexpr std::uint64_t kWholeFile = std::uint64_t{1} << 20;

// Reads the whole of `file` (opened for reading and writing), has `produce`
// make the new content from it and writes that over the file from position
// 0, as it comes; then truncates the file after it and flushes it to disk.
// An empty file that `produce` makes nothing of is not written at all.
//
// The first piece begins the writing: the journal is made, and the file's
// stamp is compared with the one it had when it was read; if someone else
// changed it, nothing is written (kFileChanged). From then on requests to
// stop the process wait, and the journal holds the original bytes until
// the file is complete again and on disk. A file of more than one name is
// marked with its journal's place, so a run through any name finds it.
// When the user may not create the journal there, the file is written
// all the same; when making it fails otherwise, nothing is written.
//
// A failed read, write, truncation or flush, or memory running out in any
// allocation of the rewrite, the producer's included, makes the rewrite
// fail; if writing had begun, the original bytes are written back first
// (and read back, when writing them failed).
// `memory_limit` caps the copy of the file (tests use it to make memory
// run out).
RewriteOutcome RewriteInPlace(FileStream& file, const Producer& produce,
                              std::size_t memory_limit = kNoMemoryLimit);

// RewriteInPlace, but a file of kWholeFile bytes or more is not read into
// memory: its journal is made first, as a copy of the file that the file
// system may share, and `produce_pieces` reads the original bytes from it
// in pieces. Where no journal can be made, `produce` has the file whole.
RewriteOutcome RewriteInPlace(FileStream& file, const Producer& produce,
                              const PieceProducer& produce_pieces,
                              std::size_t memory_limit = kNoMemoryLimit);

}  // namespace kelmora::store
