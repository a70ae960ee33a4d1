#include "app/exits.h"

#include "app/file_names.h"
#include "app/run.h"
#include "console/markup.h"
#include "store/journal.h"
#include "text/runtime.h"

namespace kelmora::app {
namespace {

using text::ShortString;

[[noreturn]] void Abort(int code) {
  console::WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(code);
}

}  // namespace

std::string ReasonText(platform::ErrorCode error) {
  switch (error) {
    case platform::kNotRegularFile: return "not a regular file";
    case platform::kFileChanged: return "the file changed while it was being processed";
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

void StopOnDamaged(const std::string& name, platform::ErrorCode error,
                   const std::string& journal) {
  WriteNamedLine(ErrorBullet(), name,
                 " may be ~0C~damaged~07~: its original bytes could not be written back!\r\n");
  WriteReason(error);
  if (!journal.empty())
    WriteNamedLine("   its original bytes are kept in ", journal,
                   "; the next run puts them back.\r\n");
  Abort(kExitDamaged);
}

void ReportNotRewritten(const std::string& name, const store::RewriteOutcome& outcome) {
  WriteFileNotLine(name, "rewritten");
  WriteReason(outcome.error);
  if (outcome.damaged) StopOnDamaged(name, outcome.restore_error, outcome.journal);
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

void RecoverInterruptedRewrite(const std::string& name) {
  store::Recovery recovery = store::RecoverFromJournal(name, store::SystemFileOps());
  if (recovery.result == store::Recovery::Restored)
    WriteNamedLine(ErrorBullet(), name,
                   " restored: an earlier run was cut short while rewriting it.\r\n");
  if (recovery.result == store::Recovery::Failed)
    StopOnDamaged(name, recovery.error, store::JournalPath(name));
}

}  // namespace kelmora::app
