#include "app/run.h"

#include <string>
#include <vector>

#include "app/counter.h"
#include "app/file_names.h"
#include "app/names_file.h"
#include "app/settings.h"
#include "app/song_title.h"
#include "config/replace_table.h"
#include "console/console.h"
#include "console/markup.h"
#include "platform/platform.h"
#include "store/file_stream.h"
#include "store/journal.h"
#include "store/recovery.h"
#include "store/run_lock.h"
#include "template/template_pass.h"
#include "text/command_line.h"
#include "text/runtime.h"
#include "text/text_rules.h"

namespace kelmora::app {
namespace {

using console::PlainWrite;
using console::PlainWriteLine;
using console::WriteMarkup;
using text::ShortString;

const char kDone[] = "~0A~done!~07~\r\n";

void WriteBanner() {
  PlainWriteLine("");
  PlainWriteLine("Toval's template processor v1.0");
  PlainWriteLine("");
}

[[noreturn]] void StopOnCommandLine() {
  WriteMarkup(ErrorBullet() + "error in command line!\r\n");
  WriteMarkup(ShortString("~0F~   ~07~usage: ") + text::kNativeText.program_name +
              " <filename>\r\n");
  WriteMarkup("~0C~   exiting...~07~\r\n");
  text::Halt(kExitCommandLine);
}

[[noreturn]] void StopOnMissingFile(const std::string& name) {
  WriteFileNotLine(name, "found");
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitFileNotFound);
}

// Why a file could not be rewritten, for a follow-up line.
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
  WriteMarkup(ShortString("   ") + DoubleTildes(ReasonText(error)) + "\r\n");
}

// The file may be anything now; `journal` (when not empty) still holds its
// original bytes, and the next run puts them back.
[[noreturn]] void StopOnDamaged(const std::string& name, platform::ErrorCode error,
                                const std::string& journal) {
  WriteNamedLine(ErrorBullet(), name,
                 " may be ~0C~damaged~07~: its original bytes could not be written back!\r\n");
  WriteReason(error);
  if (!journal.empty())
    WriteNamedLine("   its original bytes are kept in ", journal,
                   "; the next run puts them back.\r\n");
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitDamaged);
}

// A journal that stays after the file was written or repaired: marked
// finished, the run goes on; otherwise a later run would put older bytes
// back.
void ReportStuckJournal(const std::string& name, const store::RewriteOutcome& outcome) {
  WriteFileNotLine(outcome.journal, "removed");
  WriteReason(outcome.journal_error);
  if (outcome.journal_marked) {
    WriteMarkup("   it is marked finished: no later run puts it back.\r\n");
    return;
  }
  WriteNamedLine("   remove it before the next run, or it puts older bytes back into ", name,
                 "!\r\n");
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitDamaged);
}

// Continues the open "processing" line.
[[noreturn]] void StopOnNotRewritten(const std::string& name,
                                     const store::RewriteOutcome& outcome) {
  WriteFileNotLine(name, "rewritten");
  WriteReason(outcome.error);
  if (outcome.damaged) StopOnDamaged(name, outcome.restore_error, outcome.journal);
  if (outcome.journal_error != 0) ReportStuckJournal(name, outcome);
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitNotRewritten);
}

// Another run works on the file: it is left to that run.
void LockForTheRun(const std::string& name, store::RunLock& lock) {
  if (lock.Take(name) != platform::kInUse) return;
  WriteFileNotLine(name, "rewritten");
  WriteReason(platform::kInUse);
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitNotRewritten);
}

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
    WriteNamedLine(ErrorBullet(), name,
                   " may be ~0C~damaged~07~: its journal cannot be used!\r\n");
    WriteMarkup(ShortString("   ") +
                DoubleTildes(recovery.error != 0 ? ReasonText(recovery.error)
                                                 : "the journal is damaged") +
                "\r\n");
    WriteNamedLine("   it is kept in ", recovery.journal, ".\r\n");
    WriteMarkup("~0C~   aborting...\r\n");
    text::Halt(kExitDamaged);
  }
  WriteFileNotLine(recovery.journal,
                   recovery.result == store::Recovery::Stuck ? "removed" : "trusted");
  WriteMarkup(ShortString("   ") +
              DoubleTildes(recovery.result == store::Recovery::Stuck
                               ? ReasonText(recovery.error)
                               : DistrustText(recovery)) +
              "\r\n");
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitNotRewritten);
}

// Before anything else touches the file: a rewrite that an earlier run left
// unfinished is undone.
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

// Opens the file and runs the template pass over it with `table`; the
// stream is closed on return, before anything is reported.
store::RewriteOutcome RewriteTemplate(const std::string& name,
                                        const config::ReplaceTable& table) {
  store::FileStream stream(name, store::kOpenReadWrite, 4096);
  return templating::ProcessTemplate(
      stream, [&table](std::string& line) { table.Apply(line); }, store::kNoMemoryLimit,
      [&table](std::string_view lines) { return table.FirstPossibleChange(lines); });
}

// The counter is read once, after the "processing" text is out.
void AddBirthTime(config::ReplaceTable& table, const Settings& settings) {
  table.Add("@BirthTime",
            CounterText(NowSeconds(), settings.birth_seconds,
                        settings.time_count, settings.time_format),
            false);
}

// Added after the names-file pairs, so it replaces a names-file line of its token.
void AddCurrentSong(config::ReplaceTable& table, const Settings& settings) {
  table.Add("@CurrentSong",
            SongValue(QuerySongTitle(), settings.no_wamp, settings.prefix, settings.suffix),
            false);
}

}  // namespace

void Run() {
  WriteBanner();

  std::vector<std::string> arguments = text::CommandArguments();
  if (arguments.size() != 2) StopOnCommandLine();
  const std::string& file_name = arguments[1];
  store::RunLock lock(store::SystemFileOps());
  LockForTheRun(file_name, lock);
  RecoverInterruptedRewrite(file_name);

  PlainWrite("reading config... ");
  const Settings settings = ReadSettings();

  if (!FileExists(file_name)) StopOnMissingFile(file_name);

  config::ReplaceTable table;
  LoadNamesFile(settings, table);
  WriteMarkup(kDone);

  PlainWrite("processing [" + InertName(file_name) + "]... ");
  AddBirthTime(table, settings);
  AddCurrentSong(table, settings);

  store::RewriteOutcome outcome = RewriteTemplate(file_name, table);
  if (!outcome.ok) StopOnNotRewritten(file_name, outcome);
  WriteMarkup(kDone);
  if (outcome.journal_error != 0) ReportStuckJournal(file_name, outcome);
  text::Halt(kExitOk);
}

}  // namespace kelmora::app
