// The rollback journal: a file's original bytes, kept beside it while the
// file is rewritten in place, so that a rewrite cut short by a crash or a
// power cut can be undone by the next run.
//
// Layout: a header block of kJournalBlock bytes, the original bytes, and
// zero bytes up to a whole block. The header holds, each 8 bytes
// little-endian after the 8 bytes "KELMJRN3": the original size; the XXH3
// 64-bit checksum of the original bytes; the volume, index and birth time
// of the file it was made for (platform::FileIdentity); the size and last-write time
// the file had when it was read; its state (0 while the rewrite runs, 1
// once the rewrite has ended and the journal only failed to go); and the
// XXH3 checksum of the header before it. Then zero bytes.
//
// A journal is trusted only when it is a regular file of one link, opened
// without following a link, owned by the file's owner or by the running
// user, writable by no one else, and made for the file (same identity).
// Only a journal whose header is intact is ever removed; only a complete
// one (its length and both checksums right) is ever written back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "store/file_ops.h"
#include "store/line_source.h"

namespace kelmora::store {

// The journal of the file at `file_path`: the same path with a fixed
// suffix; a name too long for the folder keeps as much of the file's name
// as fits and a hash of the whole.
std::string JournalPath(const std::string& file_path);

inline constexpr std::size_t kJournalBlock = 4096;

// A file's original bytes held in memory, laid out as its journal: the
// header block, the bytes, the padding. The file is read straight into
// data().
class JournalImage {
 public:
  // Room for `size` original bytes; throws std::bad_alloc without memory.
  explicit JournalImage(std::size_t size);

  // Where the original bytes go.
  char* data() { return storage_.get() + kJournalBlock; }
  std::string_view original() const { return {storage_.get() + kJournalBlock, size_}; }
  // The whole journal of the file `identity`, read when it had `stamp`,
  // its header filled in from the original bytes as they are now.
  std::string_view Seal(const platform::FileIdentity& identity, const platform::FileStamp& stamp);

 private:
  std::unique_ptr<char[]> storage_;
  std::size_t size_;
};

// A journal on disk, open from its creation until it is ended (or, when it
// could not be made, never). It is made from an image in memory, or copied
// from the file itself.
class JournalFile {
 public:
  JournalFile(std::string path, JournalImage& image, const FileOps& ops)
      : path_(std::move(path)), image_(&image), ops_(ops) {}
  JournalFile(std::string path, const FileOps& ops) : path_(std::move(path)), ops_(ops) {}
  ~JournalFile();
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  // Creates the journal from the image, which must not exist yet, and
  // returns once all of it is on disk. On failure nothing is left behind.
  platform::ErrorCode Write(const platform::FileIdentity& identity,
                            const platform::FileStamp& stamp);
  // Creates the journal as Write does, with the first `size` bytes of
  // `file` copied into it (platform::CopyFileRange), read back in pieces
  // for its checksum; *holds_cr tells whether they hold a CR byte.
  platform::ErrorCode WriteCopyOf(platform::FileHandle file, std::uint64_t size,
                                  const platform::FileIdentity& identity,
                                  const platform::FileStamp& stamp, bool* holds_cr);
  // The original bytes of a journal made by WriteCopyOf, read in pieces
  // from the start. Only one reader at a time, and none during PutBack.
  PieceReader Reader();
  // Writes the original bytes over `file` from position 0 and cuts it
  // after them (it is not put on disk); allocates nothing.
  platform::ErrorCode PutBack(platform::FileHandle file);

  // Once the file no longer needs it: removes it, and returns once the
  // removal is on disk. When it cannot be removed, or its removal not put
  // on disk, it is marked finished instead, so that no later run puts it
  // back. The first failure, or 0.
  struct End {
    platform::ErrorCode error = 0;
    bool marked = false;  // when error: whether the mark is on disk
  };
  End Remove();

  bool made() const { return file_ != platform::kNoFile; }
  const std::string& path() const { return path_; }

 private:
  platform::ErrorCode Publish(platform::FileHandle file, platform::ErrorCode error);

  std::string path_;
  JournalImage* image_ = nullptr;
  const FileOps& ops_;
  platform::FileHandle file_ = platform::kNoFile;
  std::uint64_t size_ = 0;
  // The header on disk, kept to mark the journal finished.
  std::array<char, kJournalBlock> header_{};
};

// What lies at a journal's place, judged for the file at `file_path`.
struct Journal {
  // Why something at the journal's place is not trusted.
  enum Why {
    Unknown,
    NotRegular,   // a link, a folder, a device...
    ManyLinks,    // more names than one
    Stranger,     // owned by someone else, or writable by others
    NotAJournal,  // too short, or not of this program's layout
    OtherFile,    // made for another file of that name
    Unopened,     // cannot even be opened (`error`)
  };
  enum State {
    Missing,
    NotTrusted,  // left alone, for `why`
    Unreadable,  // ours, but reading it failed with `error`
    Damaged,     // ours, but its length or a checksum is wrong
    Unfinished,  // its header is intact and its length short, or it says
                 // it was still being made: the file was never touched
    Finished,    // the rewrite it kept ended; only its removal failed
    Complete,
  };
  State state = Missing;
  Why why = Unknown;
  platform::ErrorCode error = 0;
  // From an intact header: the original bytes' size and checksum.
  bool header_intact = false;
  std::uint64_t size = 0, checksum = 0;
};
// `file` holds the facts of the file the journal would be for.
Journal ReadJournal(const std::string& journal_path, const platform::FileFacts& file,
                    const FileOps& ops);

// Writes the original bytes of the journal at `journal_path`, judged
// Complete as `judged` for the file of facts `of`, over the file at
// `file_path` from its start, cuts the file after them and returns once it
// is on disk. They are copied in pieces, from the journal judged once more
// as it is opened again: one that changed since is not used
// (kFileChanged), and the file is not touched.
platform::ErrorCode PutBackJournal(const std::string& journal_path, const Journal& judged,
                                   const platform::FileFacts& of, const std::string& file_path,
                                   const FileOps& ops);

// Whether the file at `file_path` holds the original bytes that the intact
// header of `journal` describes.
bool HoldsOriginal(const std::string& file_path, const Journal& journal, const FileOps& ops);

// Removes the file at `path` and returns once its removal is on disk.
platform::ErrorCode RemoveDurably(const std::string& path, const FileOps& ops);

}  // namespace kelmora::store
