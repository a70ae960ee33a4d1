#include "app/exits.h"

#include "app/file_names.h"
#include "app/settings.h"
#include "app/run.h"
#include "console/console.h"
#include "console/markup.h"
#include "text/number.h"
#include "store/journal.h"
#include "store/recovery.h"
#include "runtime/runtime.h"

namespace kelmora::app {
namespace {

using text::ShortString;

[[noreturn]] void Abort(int code) {
  console::WriteMarkup("~0C~   aborting...\r\n");
  runtime::Halt(code);
}

}  // namespace

std::string ReasonText(platform::ErrorCode error) {
  switch (error) {
    case platform::kNotRegularFile: return "not a regular file";
    case platform::kFileChanged: return "the file changed while it was being processed";
    case platform::kInUse: return "it is in use by another run";
    case platform::kNothingWritten: return "nothing could be written";
    default: return platform::ErrorText(error);
  }
}

void WriteReason(platform::ErrorCode error) {
  console::WriteMarkup(ShortString("   ") + DoubleTildes(ReasonText(error)) + "\r\n");
}

void StopOnMissingFile(const std::string& name) {
  WriteFileNotLine(name, "found");
  Abort(kExitFileNotFound);
}

void StopOnDamaged(const std::string& name, platform::ErrorCode error, const std::string& journal) {
  WriteNamedLine(ErrorBullet(), name,
                 " may be ~0C~damaged~07~: its original bytes could not be written back!\r\n");
  WriteReason(error);
  if (!journal.empty())
    WriteNamedLine("   its original bytes are kept in ", journal,
                   "; the next run puts them back.\r\n");
  Abort(kExitDamaged);
}

void ReportStuckJournal(const std::string& name, const store::RewriteOutcome& outcome) {
  if (outcome.journal_error == 0) return;
  WriteFileNotLine(outcome.journal, "removed");
  WriteReason(outcome.journal_error);
  if (outcome.journal_marked) {
    console::WriteMarkup("   it is marked finished: no later run puts it back.\r\n");
    return;
  }
  WriteNamedLine("   remove it before the next run, or it puts older bytes back into ", name,
                 "!\r\n");
  Abort(kExitDamaged);
}

void ReportNotRewritten(const std::string& name, const store::RewriteOutcome& outcome) {
  WriteFileNotLine(name, "rewritten");
  WriteReason(outcome.error);
  if (outcome.damaged) StopOnDamaged(name, outcome.restore_error, outcome.journal);
  ReportStuckJournal(name, outcome);
}

void StopOnNotRewritten(const std::string& name, const store::RewriteOutcome& outcome) {
  ReportNotRewritten(name, outcome);
  Abort(kExitNotRewritten);
}

void StopOnUnreadable(const std::string& name, platform::ErrorCode error) {
  WriteFileNotLine(name, "readable");
  WriteReason(error);
  Abort(kExitNotRewritten);
}

void LockForTheRun(const std::string& name, store::RunLock& lock) {
  if (lock.Take(name) != platform::kInUse) return;
  WriteFileNotLine(name, "rewritten");
  WriteReason(platform::kInUse);
  Abort(kExitNotRewritten);
}

namespace {

std::string DistrustText(const store::Recovery& recovery) {
  switch (recovery.why) {
    case store::Journal::NotRegular: return "it is not a regular file";
    case store::Journal::ManyLinks: return "it has more than one name";
    case store::Journal::Stranger: return "it belongs to another user, or others may write to it";
    case store::Journal::NotAJournal: return "it is no journal of this program";
    case store::Journal::OtherFile: return "it was made for another file of that name";
    default: return ReasonText(recovery.error);
  }
}

// A journal that cannot be used, or something at its place that is none:
// it is kept, and the file is not rewritten.
[[noreturn]] void StopOnKeptJournal(const std::string& name, const store::Recovery& recovery) {
  if (recovery.result == store::Recovery::Unusable) {
    WriteNamedLine(ErrorBullet(), name, " may be ~0C~damaged~07~: its journal cannot be used!\r\n");
    console::WriteMarkup(
        ShortString("   ") +
        DoubleTildes(recovery.error != 0 ? ReasonText(recovery.error) : "the journal is damaged") +
        "\r\n");
    WriteNamedLine("   it is kept in ", recovery.journal, ".\r\n");
    Abort(kExitDamaged);
  }
  const bool stuck = recovery.result == store::Recovery::Stuck;
  WriteFileNotLine(recovery.journal, stuck ? "removed" : "trusted");
  console::WriteMarkup(ShortString("   ") +
                       DoubleTildes(stuck ? ReasonText(recovery.error) : DistrustText(recovery)) +
                       "\r\n");
  Abort(kExitNotRewritten);
}

}  // namespace

void RecoverInterruptedRewrite(const std::string& name) {
  store::Recovery recovery = store::RecoverFromJournal(name, store::SystemFileOps());
  switch (recovery.result) {
    case store::Recovery::Nothing:
    case store::Recovery::Discarded: return;
    case store::Recovery::Restored:
      WriteNamedLine(ErrorBullet(), name,
                     " restored: an earlier run was cut short while rewriting it.\r\n");
      return;
    case store::Recovery::Failed: StopOnDamaged(name, recovery.error, recovery.journal);
    default: StopOnKeptJournal(name, recovery);
  }
}

void ReportSettingsFile(const SettingsLoad& load) {
  WriteFileNotLine(load.path, load.status == SettingsLoad::Status::NotFound ? "found" : "readable");
}

void ReportWrongLines(const SettingsLoad& load, bool pause) {
  if (pause) console::PlainWriteLine("");
  for (std::int32_t number : load.wrong_lines) {
    ShortString start = ErrorBullet() + "wrong line [#" + text::IntToStr(number) + "] in [";
    const char end[] = "]\r\n";
    std::size_t room = ShortString::kCapacity - start.size() - (sizeof end - 1);
    console::WriteMarkup(start + MarkupName(load.path, room) + end);
  }
  if (!pause) return;
  console::PlainWriteLine("   pause (3 seconds)");
  platform::Tone(3400, 30);
  platform::Tone(3210, 30);
  platform::Sleep(3000);
}

SettingsLoad SettingsOrStop(bool quiet) {
  SettingsLoad load = LoadSettings();
  if (load.status != SettingsLoad::Status::Ok) {
    // Continues the open "reading config" line.
    ReportSettingsFile(load);
    Abort(kExitNoSettings);
  }
  if (!load.wrong_lines.empty()) ReportWrongLines(load, !quiet);
  return load;
}

}  // namespace kelmora::app
