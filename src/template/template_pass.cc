#include "template/template_pass.h"

#include <algorithm>
#include <new>
#include <string_view>

#include "store/journal.h"
#include "store/line_reader.h"
#include "text/fault_report.h"

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

// Writes `bytes` over the file from position 0, cuts the file after them
// and flushes it to disk.
void WriteWholeFile(FileStream& file, std::string_view bytes) {
  file.Seek(0);
  file.Write(bytes.data(), bytes.size());
  file.Truncate();
  file.SyncToDisk();
}

// Holds off requests to stop the process while it lives.
class CriticalWrite {
 public:
  CriticalWrite() { platform::BeginCriticalWrite(); }
  ~CriticalWrite() { platform::EndCriticalWrite(); }
  CriticalWrite(const CriticalWrite&) = delete;
  CriticalWrite& operator=(const CriticalWrite&) = delete;
};

// Replaces the content of `file`, read as `original` when the file had
// `read_stamp`, with `result`. Allocates nothing once the file may change.
PassOutcome WriteResult(FileStream& file, const platform::FileStamp& read_stamp,
                        store::JournalImage& original, std::string_view result) {
  const store::FileOps& ops = file.ops();
  PassOutcome damaged = FailedWith(0);
  damaged.damaged = true;
  damaged.journal = store::JournalPath(file.path());
  CriticalWrite critical;
  bool journaled = store::WriteJournal(damaged.journal, original, ops) == 0;
  auto drop_journal = [&] {
    if (journaled) ops.remove(damaged.journal);
  };

  platform::PauseForTest();
  platform::FileStamp stamp = file.Stamp();
  if (file.status() != StreamStatus::Ok || stamp != read_stamp) {
    PassOutcome changed = file.status() == StreamStatus::Ok
                              ? FailedWith(platform::kFileChanged)
                              : FailureOf(file);
    drop_journal();
    return changed;
  }

  WriteWholeFile(file, result);
  if (file.status() == StreamStatus::Ok) {
    drop_journal();
    return {};
  }
  // Other programs may hold the file open, so it is repaired in place
  // rather than replaced. The first failure is the one to report.
  PassOutcome failed = FailureOf(file);
  file.Reset();
  WriteWholeFile(file, original.original());
  if (file.status() == StreamStatus::Ok) {
    drop_journal();
    return failed;
  }
  damaged.error = failed.error;
  damaged.restore_error = file.error_detail();
  if (!journaled) damaged.journal.clear();
  return damaged;
}

PassOutcome Pass(FileStream& file, const LineEvaluator& evaluate, std::size_t memory_limit) {
  platform::FileStamp read_stamp = file.Stamp();
  std::int64_t size = file.Size();
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  if (size == 0) return {};
  if (static_cast<std::uint64_t>(size) > memory_limit) return FailedWith(platform::kNotEnoughMemory);

  store::JournalImage original(static_cast<std::size_t>(size));
  if (PassOutcome copied = CopyWholeFile(file, static_cast<std::size_t>(size), original);
      !copied.ok)
    return copied;

  std::optional<std::string> result = EvaluateText(original.original(), evaluate, memory_limit);
  if (!result) return FailedWith(platform::kNotEnoughMemory);

  return WriteResult(file, read_stamp, original, *result);
}

}  // namespace

std::optional<std::string> EvaluateText(std::string_view original,
                                        const LineEvaluator& evaluate,
                                        std::size_t memory_limit) {
  std::optional<std::string> result;
  try {
    result.emplace();
    if (original.empty()) return result;
    // Room for CR LF after short lines and for some growth, untouched (and
    // so not taken from memory) unless used.
    result->reserve(std::min(memory_limit, original.size() + original.size() / 4 + 4096));
    store::LineSplitter lines(original, kPieceLimit);
    std::string line;
    std::string_view piece;
    while (lines.Next(piece)) {
      line.assign(piece);
      evaluate(line);
      if (result->size() + line.size() + 2 > memory_limit) return std::nullopt;
      result->append(line);
      result->append("\r\n");
    }
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return result;
}

PassOutcome ProcessTemplate(FileStream& file, const LineEvaluator& evaluate,
                            std::size_t memory_limit) {
  // Memory that runs out in the pass is a failure to rewrite, not a fault,
  // whichever allocation it is. Until WriteResult has begun writing the
  // file it is untouched, and from then on nothing allocates, so the
  // allocator's exception is caught here at the one boundary rather than
  // threaded through every step.
  text::AllocationFailuresThrow throwing;
  try {
    return Pass(file, evaluate, memory_limit);
  } catch (const std::bad_alloc&) {
    return FailedWith(platform::kNotEnoughMemory);
  }
}

}  // namespace kelmora::templating
