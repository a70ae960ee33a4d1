#include "store/recovery.h"

#include <new>
#include <vector>

#include "store/file_stream.h"
#include "runtime/fault_report.h"

namespace kelmora::store {
namespace {

Recovery Found(Recovery::Result result, const std::string& journal, platform::ErrorCode error = 0,
               Journal::Why why = Journal::Unknown) {
  return {result, error, why, journal};
}

Recovery Discard(const std::string& journal_path, const FileOps& ops) {
  if (platform::ErrorCode error = RemoveDurably(journal_path, ops))
    return Found(Recovery::Stuck, journal_path, error);
  return Found(Recovery::Discarded, journal_path);
}

// What to do with what lies at `journal_path`, read as `journal` for the
// file of facts `facts`.
Recovery Settle(const std::string& file_path, const platform::FileFacts& facts,
                const std::string& journal_path, const Journal& journal, const FileOps& ops) {
  switch (journal.state) {
    case Journal::Missing: return {};
    case Journal::NotTrusted:
      return Found(Recovery::NotTrusted, journal_path, journal.error, journal.why);
    case Journal::Unreadable: return Found(Recovery::Unusable, journal_path, journal.error);
    case Journal::Unfinished:
    case Journal::Finished: return Discard(journal_path, ops);
    case Journal::Damaged:
    case Journal::Complete: break;
  }
  if (HoldsOriginal(file_path, journal, ops)) return Discard(journal_path, ops);
  if (journal.state == Journal::Damaged) return Found(Recovery::Unusable, journal_path);
  if (platform::ErrorCode error = PutBackJournal(journal_path, journal, facts, file_path, ops))
    return Found(Recovery::Failed, journal_path, error);
  Recovery removed = Discard(journal_path, ops);
  return removed.result == Recovery::Stuck ? removed : Found(Recovery::Restored, journal_path);
}

// Where the file's journal may lie: where its mark says (a run through
// another of its names made it), then beside it.
std::vector<std::string> JournalPlaces(const std::string& file_path, platform::FileHandle file,
                                       const FileOps& ops, bool* marked) {
  std::string beside = JournalPath(file_path);
  std::string mark;
  *marked = ops.read_mark(file, &mark) == 0;
  if (*marked && mark != platform::FullPath(beside)) return {mark, beside};
  return {beside};
}

Recovery RecoverOpenFile(const std::string& file_path, platform::FileHandle file,
                         const FileOps& ops) {
  platform::FileFacts facts;
  if (ops.facts(file, &facts) != 0 || !facts.regular) return {};
  bool marked = false;
  for (const std::string& place : JournalPlaces(file_path, file, ops, &marked)) {
    Recovery recovery = Settle(file_path, facts, place, ReadJournal(place, facts, ops), ops);
    if (recovery.result == Recovery::Nothing) continue;
    bool gone = recovery.result == Recovery::Discarded || recovery.result == Recovery::Restored;
    if (gone && marked) ops.clear_mark(file);
    return recovery;
  }
  // A mark whose journal is gone names nothing any more.
  if (marked) ops.clear_mark(file);
  return {};
}

}  // namespace

Recovery RecoverFromJournal(const std::string& file_path, const FileOps& ops) {
  // Without the file there is nothing to put back; a journal stays for
  // whoever moved the file away.
  platform::FileHandle file = platform::kNoFile;
  if (ops.open(file_path, platform::FileAccess::Read, platform::FileShare::ReadWrite, &file) != 0)
    return {};
  // Memory that runs out leaves the journal where it is, for a later run.
  runtime::AllocationFailuresThrow throwing;
  Recovery recovery;
  try {
    recovery = RecoverOpenFile(file_path, file, ops);
  } catch (const std::bad_alloc&) {
    recovery = Found(Recovery::Unusable, JournalPath(file_path), platform::kNotEnoughMemory);
  }
  ops.close(file);
  return recovery;
}

}  // namespace kelmora::store
