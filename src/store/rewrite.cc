#include "store/rewrite.h"

#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "store/journal.h"
#include "runtime/fault_report.h"

namespace kelmora::store {
namespace {

RewriteOutcome FailedWith(platform::ErrorCode error) {
  RewriteOutcome outcome;
  outcome.ok = false;
  outcome.error = error;
  return outcome;
}

RewriteOutcome FailureOf(const FileStream& stream) { return FailedWith(stream.error_detail()); }

// Copies the `size` bytes of `file` into `copy` with one read. A file that
// has grown meanwhile is caught by the stamp check before writing; one
// that has shrunk, here.
RewriteOutcome CopyWholeFile(FileStream& file, std::size_t size, JournalImage& copy) {
  file.Seek(0);
  file.Read(copy.data(), size);
  if (file.status() == StreamStatus::PastEnd) return FailedWith(platform::kFileChanged);
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  return {};
}

// Holds off requests to stop the process while it lives.
class CriticalWrite {
 public:
  CriticalWrite() { platform::BeginCriticalWrite(); }
  ~CriticalWrite() { platform::EndCriticalWrite(); }
  CriticalWrite(const CriticalWrite&) = delete;
  CriticalWrite& operator=(const CriticalWrite&) = delete;
};

// Puts the new content over `file`, which was read as `original` when it
// had `read_stamp`, piece by piece as the pieces come. The first piece
// begins the rewrite: the journal is made and the stamp compared; until
// then the file is untouched. From then on requests to stop wait; once the
// file may have changed, nothing here allocates: what a damaged outcome
// needs is made before the first byte is written.
class Rewrite {
 public:
  Rewrite(FileStream& file, const platform::FileStamp& read_stamp, JournalImage& original)
      : file_(file),
        read_stamp_(read_stamp),
        original_(original),
        journal_path_(JournalPath(file.path())) {}

  // False once the rewrite has failed; Finish then tells how it ended.
  bool Put(std::string_view piece) {
    if (state_ == State::NotBegun) Begin();
    if (state_ != State::Writing) return false;
    file_.Write(piece.data(), piece.size());
    // The disk works on this piece while the next is made.
    file_.StartSyncToDisk();
    return file_.status() == StreamStatus::Ok;
  }

  // After the last piece: how the rewrite ended, the file whole again.
  RewriteOutcome Finish() {
    if (state_ == State::NotBegun) Begin();
    if (state_ == State::Refused) return std::move(refusal_);
    if (file_.status() == StreamStatus::Ok) {
      file_.Truncate();
      file_.SyncToDisk();
    }
    if (file_.status() == StreamStatus::Ok) {
      DropJournal();
      return {};
    }
    return Abandon(FailureOf(file_));
  }

  // The producer failed for `why`: the file gets its original bytes back
  // if any piece was put.
  RewriteOutcome Abandon(RewriteOutcome why) {
    if (state_ == State::Refused) return std::move(refusal_);
    if (state_ == State::NotBegun) return why;
    // Other programs may hold the file open, so it is repaired in place
    // rather than replaced. The first failure is the one to report.
    file_.Reset();
    file_.Overwrite(original_.original());
    if (file_.status() == StreamStatus::Ok) {
      DropJournal();
      return why;
    }
    RewriteOutcome damaged = std::move(why);
    damaged.damaged = true;
    damaged.restore_error = file_.error_detail();
    damaged.journal = std::move(kept_journal_);
    return damaged;
  }

 private:
  void Begin() {
    critical_.emplace();
    kept_journal_ = journal_path_;
    journaled_ = WriteJournal(journal_path_, original_, file_.ops()) == 0;
    if (!journaled_) kept_journal_.clear();
    platform::PauseForTest();
    platform::FileStamp stamp = file_.Stamp();
    if (file_.status() != StreamStatus::Ok || stamp != read_stamp_) {
      refusal_ = file_.status() == StreamStatus::Ok ? FailedWith(platform::kFileChanged)
                                                   : FailureOf(file_);
      DropJournal();
      state_ = State::Refused;
      return;
    }
    file_.Seek(0);
    state_ = State::Writing;
  }

  void DropJournal() {
    if (journaled_) file_.ops().remove(journal_path_);
    journaled_ = false;
  }

  FileStream& file_;
  const platform::FileStamp& read_stamp_;
  JournalImage& original_;
  std::string journal_path_;
  // The journal a damaged outcome names: empty when none was made.
  std::string kept_journal_;
  std::optional<CriticalWrite> critical_;
  // Refused: the file changed, or its stamp could not be read; nothing was
  // written, for `refusal_`.
  enum class State { NotBegun, Writing, Refused } state_ = State::NotBegun;
  RewriteOutcome refusal_;
  bool journaled_ = false;
};

RewriteOutcome RewriteWhole(FileStream& file, const Producer& produce,
                            std::size_t memory_limit) {
  platform::FileStamp read_stamp = file.Stamp();
  std::int64_t size = file.Size();
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  if (size == 0) return {};
  if (static_cast<std::uint64_t>(size) > memory_limit)
    return FailedWith(platform::kNotEnoughMemory);

  JournalImage original(static_cast<std::size_t>(size));
  if (RewriteOutcome copied = CopyWholeFile(file, static_cast<std::size_t>(size), original);
      !copied.ok)
    return copied;

  Rewrite rewrite(file, read_stamp, original);
  Production production = produce(original.original(), [&rewrite](std::string_view piece) {
    return rewrite.Put(piece);
  });
  if (production == Production::OutOfMemory)
    return rewrite.Abandon(FailedWith(platform::kNotEnoughMemory));
  return rewrite.Finish();  // Done, or Stopped by a failed Put
}

}  // namespace

RewriteOutcome RewriteInPlace(FileStream& file, const Producer& produce,
                              std::size_t memory_limit) {
  // Memory that runs out is a failure to rewrite, not a fault, whichever
  // allocation it is. While the file is being written, the producer
  // catches the allocator's exception and the original bytes are written
  // back, which allocates nothing; every other allocation comes before the
  // file is touched, so its exception is caught here rather than threaded
  // through every step.
  text::AllocationFailuresThrow throwing;
  try {
    return RewriteWhole(file, produce, memory_limit);
  } catch (const std::bad_alloc&) {
    return FailedWith(platform::kNotEnoughMemory);
  }
}

}  // namespace kelmora::store
