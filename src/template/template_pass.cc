#include "template/template_pass.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "store/journal.h"
#include "store/line_reader.h"
#include "text/fault_report.h"
#include "text/text_rules.h"

namespace kelmora::templating {
namespace {

using store::FileStream;
using store::StreamStatus;

PassOutcome FailedWith(platform::ErrorCode error) {
  PassOutcome outcome;
  outcome.ok = false;
  outcome.error = error;
  return outcome;
}

template <class Stream>
PassOutcome FailureOf(const Stream& stream) {
  return FailedWith(stream.error_detail());
}

// Copies the `size` bytes of `file` into `copy` with one read. A file that
// has grown meanwhile is caught by the stamp check before writing; one
// that has shrunk, here.
PassOutcome CopyWholeFile(FileStream& file, std::size_t size, store::JournalImage& copy) {
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

// Puts the evaluated text over `file`, which was read as `original` when
// it had `read_stamp`, piece by piece as the pieces come. The first piece
// begins the rewrite: the journal is made and the stamp compared; until
// then the file is untouched. From then on requests to stop wait; once the
// file may have changed, nothing here allocates.
class Rewrite {
 public:
  Rewrite(FileStream& file, const platform::FileStamp& read_stamp,
          store::JournalImage& original)
      : file_(file),
        read_stamp_(read_stamp),
        original_(original),
        journal_path_(store::JournalPath(file.path())) {}

  // False once the rewrite has failed; Finish then tells how it ended.
  bool Put(std::string_view piece) {
    if (state_ == State::NotBegun) Begin();
    if (state_ != State::Writing) return false;
    file_.Write(piece.data(), piece.size());
    // The disk works on this piece while the next is evaluated.
    file_.StartSyncToDisk();
    return file_.status() == StreamStatus::Ok;
  }

  // After the last piece: how the rewrite ended, the file whole again.
  PassOutcome Finish() {
    if (state_ == State::NotBegun) Begin();
    if (state_ == State::Refused) return refusal_;
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

  // The evaluation failed for `why`: the file gets its original bytes back
  // if any piece was put.
  PassOutcome Abandon(PassOutcome why) {
    if (state_ == State::Refused) return refusal_;
    if (state_ == State::NotBegun) return why;
    // Other programs may hold the file open, so it is repaired in place
    // rather than replaced. The first failure is the one to report.
    file_.Reset();
    file_.Overwrite(original_.original());
    if (file_.status() == StreamStatus::Ok) {
      DropJournal();
      return why;
    }
    PassOutcome damaged = why;
    damaged.damaged = true;
    damaged.restore_error = file_.error_detail();
    if (journaled_) damaged.journal = journal_path_;
    return damaged;
  }

 private:
  void Begin() {
    critical_.emplace();
    journaled_ = store::WriteJournal(journal_path_, original_, file_.ops()) == 0;
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
  store::JournalImage& original_;
  std::string journal_path_;
  std::optional<CriticalWrite> critical_;
  // Refused: the file changed, or its stamp could not be read; nothing was
  // written, for `refusal_`.
  enum class State { NotBegun, Writing, Refused } state_ = State::NotBegun;
  PassOutcome refusal_;
  bool journaled_ = false;
};

PassOutcome Pass(FileStream& file, const LineEvaluator& evaluate, const ChangeFinder& find_change,
                 std::size_t memory_limit) {
  platform::FileStamp read_stamp = file.Stamp();
  std::int64_t size = file.Size();
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  if (size == 0) return {};
  if (static_cast<std::uint64_t>(size) > memory_limit)
    return FailedWith(platform::kNotEnoughMemory);

  store::JournalImage original(static_cast<std::size_t>(size));
  if (PassOutcome copied = CopyWholeFile(file, static_cast<std::size_t>(size), original);
      !copied.ok)
    return copied;

  Rewrite rewrite(file, read_stamp, original);
  Evaluation evaluation =
      EvaluateTextInto(original.original(), text::TemplateLineEnd(original.original()),
                       evaluate, find_change, memory_limit,
                       [&rewrite](std::string_view piece) { return rewrite.Put(piece); });
  if (evaluation == Evaluation::OutOfMemory)
    return rewrite.Abandon(FailedWith(platform::kNotEnoughMemory));
  return rewrite.Finish();  // Done, or Stopped by a failed Put
}

}  // namespace

Evaluation EvaluateTextInto(std::string_view original, std::string_view line_end,
                            const LineEvaluator& evaluate, const ChangeFinder& find_change,
                            std::size_t memory_limit, const TextSink& sink) {
  std::string text;
  std::size_t total = 0;
  try {
    if (original.empty()) return Evaluation::Done;
    text.reserve(std::min(memory_limit, kTextPiece + kPieceLimit + 2));
    store::LineSplitter lines(original, kPieceLimit);
    std::string line;
    std::string_view piece;
    // No line that ends at or before it needs the evaluator.
    std::size_t change_at = 0;
    while (lines.Next(piece)) {
      const std::size_t piece_end = static_cast<std::size_t>(piece.data() - original.data()) +
                                    piece.size();
      std::string_view result = piece;
      if (!find_change || change_at < piece_end) {
        line.assign(piece);
        evaluate(line);
        result = line;
        if (find_change)
          change_at = piece_end + find_change(original.substr(piece_end));
      }
      total += result.size() + line_end.size();
      if (total > memory_limit) return Evaluation::OutOfMemory;
      text.append(result);
      text.append(line_end);
      if (text.size() >= kTextPiece) {
        if (!sink(text)) return Evaluation::Stopped;
        text.clear();
      }
    }
    if (!text.empty() && !sink(text)) return Evaluation::Stopped;
  } catch (const std::bad_alloc&) {
    return Evaluation::OutOfMemory;
  }
  return Evaluation::Done;
}

std::optional<std::string> EvaluateText(std::string_view original,
                                        const LineEvaluator& evaluate,
                                        const ChangeFinder& find_change,
                                        std::size_t memory_limit) {
  std::string result;
  Evaluation evaluation = EvaluateTextInto(original, text::TemplateLineEnd(original), evaluate,
                                           find_change, memory_limit,
                                           [&result](std::string_view piece) {
                                             result.append(piece);
                                             return true;
                                           });
  if (evaluation != Evaluation::Done) return std::nullopt;
  return result;
}

PassOutcome ProcessTemplate(FileStream& file, const LineEvaluator& evaluate,
                            std::size_t memory_limit, const ChangeFinder& find_change) {
  // Memory that runs out in the pass is a failure to rewrite, not a fault,
  // whichever allocation it is. While the text is evaluated, and so while
  // the file is being written, EvaluateTextInto catches the allocator's
  // exception and the original bytes are written back, which allocates
  // nothing; every other allocation comes before the file is touched, so
  // its exception is caught here rather than threaded through every step.
  text::AllocationFailuresThrow throwing;
  try {
    return Pass(file, evaluate, find_change, memory_limit);
  } catch (const std::bad_alloc&) {
    return FailedWith(platform::kNotEnoughMemory);
  }
}

}  // namespace kelmora::templating
