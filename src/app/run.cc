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
#include "template/template_pass.h"
#include "runtime/command_line.h"
#include "runtime/runtime.h"
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

// Continues the open "processing" line.
[[noreturn]] void StopOnNotRewritten(const std::string& name,
                                     const store::RewriteOutcome& outcome) {
  WriteFileNotLine(name, "rewritten");
  WriteReason(outcome.error);
  if (outcome.damaged) StopOnDamaged(name, outcome.restore_error, outcome.journal);
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitNotRewritten);
}

// Before anything else touches the file: a rewrite that an earlier run left
// unfinished is undone.
void RecoverInterruptedRewrite(const std::string& name) {
  store::Recovery recovery = store::RecoverFromJournal(name, store::SystemFileOps());
  if (recovery.result == store::Recovery::Restored)
    WriteNamedLine(ErrorBullet(), name,
                   " restored: an earlier run was cut short while rewriting it.\r\n");
  if (recovery.result == store::Recovery::Failed)
    StopOnDamaged(name, recovery.error, store::JournalPath(name));
}

// Opens the file and runs the template pass over it with `table`; the
// stream is closed on return, before anything is reported.
store::RewriteOutcome RewriteTemplate(const std::string& name,
                                        config::ReplaceTable& table) {
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
  text::Halt(kExitOk);
}

}  // namespace kelmora::app
