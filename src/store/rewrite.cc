#include "store/rewrite.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "store/journal.h"
#include "runtime/fault_report.h"

namespace kelmora::store {

RewriteOutcome FailedWith(platform::ErrorCode error) {
  RewriteOutcome outcome;
  outcome.ok = false;
  outcome.error = error;
  return outcome;
}

namespace {

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

// Whether `file` holds exactly `bytes`; reads it through a buffer on the
// stack, as nothing may be allocated once the file may have changed.
bool HoldsExactly(FileStream& file, std::string_view bytes) {
  file.Reset();
  if (file.Size() != static_cast<std::int64_t>(bytes.size())) return false;
  file.Seek(0);
  char piece[16 * 1024];
  for (std::size_t at = 0; at < bytes.size(); at += sizeof piece) {
    std::size_t size = std::min(sizeof piece, bytes.size() - at);
    file.Read(piece, size);
    if (file.status() != StreamStatus::Ok ||
        bytes.substr(at, size) != std::string_view(piece, size))
      return false;
  }
  return true;
}

// Puts the new content over `file`, which had `read_stamp` when it was
// read, piece by piece as the pieces come. Its original bytes are held in
// memory as `original`, or else copied into the journal before the first
// piece is made, and read from there. Writing begins once the journal is
// made and the stamp compared; until then the file is untouched. From then
// on requests to stop wait; once the file may have changed, nothing here
// allocates: what a damaged outcome needs is made before the first byte is
// written.
class Rewrite {
 public:
  Rewrite(FileStream& file, const platform::FileStamp& read_stamp, JournalImage& original)
      : file_(file),
        read_stamp_(read_stamp),
        original_(&original),
        journal_(JournalPath(file.path()), original, file.ops()) {}
  Rewrite(FileStream& file, const platform::FileStamp& read_stamp)
      : file_(file), read_stamp_(read_stamp), journal_(JournalPath(file.path()), file.ops()) {}

  // Without an image: copies the file into the journal and begins. False
  // when the rewrite cannot go on this way: refused (Finish tells why), or
  // no journal may be made here (unjournalled()).
  bool BeginFromCopy() {
    Begin();
    return state_ == State::Writing;
  }
  bool unjournalled() const { return state_ == State::Unjournalled; }

  // The original bytes of a begun rewrite without an image.
  OriginalPieces Original() {
    PieceReader read = journal_.Reader();
    return {static_cast<std::uint64_t>(read_stamp_.size), holds_cr_,
            [this, read](char* into, std::size_t room, std::size_t* got) {
              read_error_ = read(into, room, got);
              return read_error_;
            }};
  }
  // Why reading the original failed, when the producer says it did.
  platform::ErrorCode read_error() const { return read_error_; }

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
    // An empty file that gets no piece stays as it is, untouched.
    if (state_ == State::NotBegun && original_->original().empty()) return {};
    if (state_ == State::NotBegun) Begin();
    if (state_ == State::Refused) return std::move(refusal_);
    if (file_.status() == StreamStatus::Ok) {
      file_.Truncate();
      file_.SyncToDisk();
    }
    // The journal goes only once the new content is on disk.
    if (file_.status() == StreamStatus::Ok) return DropJournal({});
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
    if (original_ == nullptr) return PutBackFromJournal(std::move(why));
    file_.Overwrite(original_->original());
    if (file_.status() == StreamStatus::Ok) return DropJournal(std::move(why));
    platform::ErrorCode restore_error = file_.error_detail();
    // A write that failed before changing anything left the file whole.
    if (HoldsExactly(file_, original_->original())) return DropJournal(std::move(why));
    return Damaged(std::move(why), restore_error);
  }

 private:
  void Begin() {
    critical_.emplace();
    platform::ErrorCode error = MakeJournal();
    if (state_ == State::Unjournalled) {
      critical_.reset();
      return;
    }
    platform::PauseForTest();
    platform::FileStamp stamp;
    if (error == 0) stamp = file_.Stamp();
    if (error == 0 && file_.status() != StreamStatus::Ok) error = file_.error_detail();
    if (error == 0 && stamp != read_stamp_) error = platform::kFileChanged;
    if (error != 0) {
      refusal_ = DropJournal(FailedWith(error));
      state_ = State::Refused;
      return;
    }
    file_.Seek(0);
    state_ = State::Writing;
  }

  // 0 once the journal is on disk, or when the user may not make one there.
  platform::ErrorCode MakeJournal() {
    platform::FileFacts facts;
    const FileOps& ops = file_.ops();
    if (platform::ErrorCode error = ops.facts(file_.handle(), &facts)) return error;
    platform::ErrorCode error =
        original_ != nullptr
            ? journal_.Write(facts.identity, read_stamp_)
            : journal_.WriteCopyOf(file_.handle(), static_cast<std::uint64_t>(read_stamp_.size),
                                   facts.identity, read_stamp_, &holds_cr_);
    if (error != 0 && platform::IsAccessDenied(error) && original_ == nullptr)
      state_ = State::Unjournalled;
    if (error != 0) return platform::IsAccessDenied(error) ? 0 : error;
    kept_journal_ = journal_.path();
    if (facts.links < 2) return 0;
    // A run through another name finds the journal through the mark, where
    // the file system keeps marks.
    error = ops.write_mark(file_.handle(), platform::FullPath(journal_.path()));
    if (error == platform::kMarksUnsupported) return 0;
    marked_ = error == 0;
    return error == 0 ? ops.flush(file_.handle()) : error;
  }

  // Abandon without an image: the journal's copy goes back over the file.
  RewriteOutcome PutBackFromJournal(RewriteOutcome why) {
    // What the stream holds is written out (or dropped) first, so nothing
    // of it lands after the original bytes.
    file_.Seek(0);
    file_.Reset();
    platform::ErrorCode error = journal_.PutBack(file_.handle());
    if (error == 0) {
      file_.Seek(read_stamp_.size);
      file_.SyncToDisk();
      error = file_.error_detail();
    }
    if (error == 0) return DropJournal(std::move(why));
    // The journal stays on disk for the next run to put back.
    return Damaged(std::move(why), error);
  }

  RewriteOutcome Damaged(RewriteOutcome why, platform::ErrorCode restore_error) {
    RewriteOutcome damaged = std::move(why);
    damaged.damaged = true;
    damaged.restore_error = restore_error;
    damaged.journal = std::move(kept_journal_);
    return damaged;
  }

  // `outcome`, once the journal is gone or marked finished.
  RewriteOutcome DropJournal(RewriteOutcome outcome) {
    JournalFile::End end = journal_.Remove();
    if (end.error != 0) {
      outcome.journal = std::move(kept_journal_);
      outcome.journal_error = end.error;
      outcome.journal_marked = end.marked;
    } else if (marked_) {
      file_.ops().clear_mark(file_.handle());
    }
    marked_ = false;
    return outcome;
  }

  FileStream& file_;
  const platform::FileStamp& read_stamp_;
  JournalImage* original_ = nullptr;  // none: the journal holds the original
  JournalFile journal_;
  // The journal an outcome names, made before the file is written.
  std::string kept_journal_;
  // The file carries the mark that names the journal.
  bool marked_ = false;
  bool holds_cr_ = false;
  platform::ErrorCode read_error_ = 0;
  std::optional<CriticalWrite> critical_;
  // Refused: the file changed, its stamp could not be read, or no journal
  // could be made; nothing was written, for `refusal_`. Unjournalled: no
  // journal may be made here, and the file is not held in memory.
  enum class State { NotBegun, Writing, Refused, Unjournalled } state_ = State::NotBegun;
  RewriteOutcome refusal_;
};

RewriteOutcome RewriteWhole(FileStream& file, const Producer& produce, std::size_t memory_limit) {
  platform::FileStamp read_stamp = file.Stamp();
  std::int64_t size = file.Size();
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  if (static_cast<std::uint64_t>(size) > memory_limit)
    return FailedWith(platform::kNotEnoughMemory);

  JournalImage original(static_cast<std::size_t>(size));
  if (RewriteOutcome copied = CopyWholeFile(file, static_cast<std::size_t>(size), original);
      !copied.ok)
    return copied;

  Rewrite rewrite(file, read_stamp, original);
  Production production = produce(
      original.original(), [&rewrite](std::string_view piece) { return rewrite.Put(piece); });
  if (production == Production::OutOfMemory)
    return rewrite.Abandon(FailedWith(platform::kNotEnoughMemory));
  if (production == Production::ReadFailed)
    return rewrite.Abandon(FailedWith(platform::kFileChanged));
  return rewrite.Finish();  // Done, or Stopped by a failed Put
}

// The rewrite of a file of kWholeFile bytes or more through its journal;
// nullopt when no journal may be made there.
std::optional<RewriteOutcome> RewriteFromJournal(FileStream& file, const PieceProducer& produce) {
  platform::FileStamp read_stamp = file.Stamp();
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  Rewrite rewrite(file, read_stamp);
  if (!rewrite.BeginFromCopy()) {
    if (rewrite.unjournalled()) return std::nullopt;
    return rewrite.Finish();
  }
  Production production = produce(
      rewrite.Original(), [&rewrite](std::string_view piece) { return rewrite.Put(piece); });
  if (production == Production::OutOfMemory)
    return rewrite.Abandon(FailedWith(platform::kNotEnoughMemory));
  if (production == Production::ReadFailed) {
    platform::ErrorCode error = rewrite.read_error();
    return rewrite.Abandon(FailedWith(error != 0 ? error : platform::kFileChanged));
  }
  return rewrite.Finish();
}

}  // namespace

RewriteOutcome RewriteInPlace(FileStream& file, const Producer& produce,
                              const PieceProducer& produce_pieces, std::size_t memory_limit) {
  runtime::AllocationFailuresThrow throwing;
  try {
    std::int64_t size = file.Size();
    if (file.status() == StreamStatus::Ok && static_cast<std::uint64_t>(size) >= kWholeFile) {
      if (std::optional<RewriteOutcome> outcome = RewriteFromJournal(file, produce_pieces))
        return std::move(*outcome);
    }
    return RewriteWhole(file, produce, memory_limit);
  } catch (const std::bad_alloc&) {
    return FailedWith(platform::kNotEnoughMemory);
  }
}

RewriteOutcome RewriteInPlace(FileStream& file, const Producer& produce, std::size_t memory_limit) {
  // Memory that runs out is a failure to rewrite, not a fault, whichever
  // allocation it is. While the file is being written, the producer
  // catches the allocator's exception and the original bytes are written
  // back, which allocates nothing; every other allocation comes before the
  // file is touched, so its exception is caught here rather than threaded
  // through every step.
  runtime::AllocationFailuresThrow throwing;
  try {
    return RewriteWhole(file, produce, memory_limit);
  } catch (const std::bad_alloc&) {
    return FailedWith(platform::kNotEnoughMemory);
  }
}

}  // namespace kelmora::store
