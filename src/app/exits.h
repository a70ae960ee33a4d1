// The run's exits and the failures reported on the way: each prints its
// lines and, where it says so, ends the process with its exit code.
#pragma once

#include <string>

#include "app/settings.h"
#include "platform/platform.h"
#include "store/rewrite.h"
#include "store/run_lock.h"

namespace kelmora::app {

// Why a file could not be rewritten, for a follow-up line.
std::string ReasonText(platform::ErrorCode error);
void WriteReason(platform::ErrorCode error);

[[noreturn]] void StopOnMissingFile(const std::string& name);

// The file may be anything now; `journal` (when not empty) still holds its
// original bytes, and the next run puts them back.
[[noreturn]] void StopOnDamaged(const std::string& name, platform::ErrorCode error,
                                const std::string& journal);

// A journal that stayed after `name` was written or repaired: said when it
// is marked finished, so that no later run puts it back; otherwise the run
// ends with exit code 5. Nothing when the journal went.
void ReportStuckJournal(const std::string& name, const store::RewriteOutcome& outcome);

// "[name] NOT rewritten!" and its reason; a damaged file ends the run.
void ReportNotRewritten(const std::string& name, const store::RewriteOutcome& outcome);

// ReportNotRewritten, then exit code 4.
[[noreturn]] void StopOnNotRewritten(const std::string& name, const store::RewriteOutcome& outcome);

// "[name] NOT readable!" and its reason, then exit code 4: the output is
// not touched.
[[noreturn]] void StopOnUnreadable(const std::string& name, platform::ErrorCode error);

// Takes `lock` on the file at `name` for the run; when another run holds
// it past the wait, the run ends with exit code 4.
void LockForTheRun(const std::string& name, store::RunLock& lock);

// Before anything else touches the file: a rewrite that an earlier run left
// unfinished is undone. A journal that cannot be trusted or used is kept
// and ends the run (exit code 4, or 5 when the file may be damaged).
void RecoverInterruptedRewrite(const std::string& name);

// Reports a settings file that is missing ("found"), cannot be read or is
// no regular file ("readable").
void ReportSettingsFile(const SettingsLoad& load);

// Lists the wrong lines of `load`; with `pause`, after an empty line that
// ends the open "reading config" line, and followed by two tones and a
// three-second pause.
void ReportWrongLines(const SettingsLoad& load, bool pause);

// The settings of kelmora.ctl (LoadSettings). Wrong lines are listed, with
// two tones and a three-second pause unless `quiet`, and the run goes on. A
// settings file that is missing, cannot be read or is no regular file is
// reported and ends the run with exit code 1.
SettingsLoad SettingsOrStop(bool quiet);

}  // namespace kelmora::app
