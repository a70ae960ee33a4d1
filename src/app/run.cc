#include "app/run.h"

#include <optional>
#include <string>
#include <vector>

#include "app/counter.h"
#include "app/exits.h"
#include "app/file_names.h"
#include "app/fill.h"
#include "app/fill_progress.h"
#include "app/follow.h"
#include "app/help.h"
#include "app/names_file.h"
#include "app/options.h"
#include "app/settings.h"
#include "app/song_title.h"
#include "config/replace_table.h"
#include "console/console.h"
#include "console/markup.h"
#include "platform/platform.h"
#include "runtime/command_line.h"
#include "runtime/runtime.h"
#include "store/output_file.h"
#include "store/run_lock.h"
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

// A command line without options gets the usage line it always had.
[[noreturn]] void StopOnCommandLine(bool list_options) {
  WriteMarkup(ErrorBullet() + "error in command line!\r\n");
  WriteMarkup(ShortString("~0F~   ~07~usage: ") + text::kNativeText.program_name + " " +
              (list_options ? OptionsUsage() : "<filename>") + "\r\n");
  WriteMarkup("~0C~   exiting...~07~\r\n");
  runtime::Halt(kExitCommandLine);
}

// The filled text that `fill` makes to standard output.
void FillIntoStandardOutput(const store::ContentMaker& fill) {
  bool written = true;
  fill([&written](std::string_view piece) {
    written = platform::WriteStandardOutput(piece.data(), piece.size());
    return written;
  });
  if (!written) {
    WriteFileNotLine(std::string(kStandardStream), "written");
    WriteMarkup("~0C~   aborting...\r\n");
    runtime::Halt(kExitNotRewritten);
  }
}

// A large TEMPLATE, read in pieces, into OUTPUT; a file OUTPUT is put
// back as it was when reading TEMPLATE fails.
store::RewriteOutcome FillFileInto(const std::string& template_name, const TemplateScan& scan,
                                   const std::string& output, config::ReplaceTable& table,
                                   const templating::ReadProgress& progress) {
  platform::ErrorCode read_error = 0;
  store::ContentMaker fill = [&](const store::PieceSink& sink) {
    return FillFile(template_name, scan, table, sink, &read_error, progress);
  };
  store::RewriteOutcome outcome;
  if (output == kStandardStream) {
    FillIntoStandardOutput(fill);
  } else {
    outcome = store::RewriteOutputFile(output, fill);
  }
  if (read_error != 0) StopOnUnreadable(template_name, read_error);
  return outcome;
}

// TEMPLATE into OUTPUT (a file, or standard output); TEMPLATE is only read.
store::RewriteOutcome FillInto(const std::string& template_name, const std::string& output,
                               config::ReplaceTable& table,
                               const templating::ReadProgress& progress) {
  if (template_name != kStandardStream) {
    TemplateScan scan;
    if (platform::ErrorCode error = ScanTemplateFile(template_name, &scan))
      StopOnUnreadable(template_name, error);
    if (scan.size >= store::kWholeFile)
      return FillFileInto(template_name, scan, output, table, progress);
  }
  std::string template_text;
  if (platform::ErrorCode error = ReadTemplateText(template_name, &template_text))
    StopOnUnreadable(template_name, error);
  if (output == kStandardStream) {
    FillIntoStandardOutput(
        [&](const store::PieceSink& sink) { return FillText(template_text, table, sink); });
    return {};
  }
  return store::RewriteOutputFile(
      output, [&](std::string_view /*output's own bytes*/, const store::PieceSink& sink) {
        return FillText(template_text, table, sink, progress);
      });
}

// The in-place fill names the file once; a fill into another names both.
std::string ProcessingText(const std::string& template_name,
                           const std::optional<std::string>& output) {
  std::string text = "processing [" + InertName(template_name) + "]";
  if (output) text += " into [" + InertName(*output) + "]";
  return text + "... ";
}

// OUTPUT, unless it is TEMPLATE under another name: that is the in-place fill.
std::optional<std::string> SeparateOutput(const Options& options) {
  const std::string& template_name = options.template_path;
  std::optional<std::string> output = options.output;
  if (output && *output != kStandardStream && template_name != kStandardStream &&
      store::SameFile(template_name, *output))
    output.reset();
  return output;
}

// Takes the run's lock on a named file, then puts back what an interrupted
// rewrite of it left; nothing for the standard streams.
void LockAndRecover(const std::string& path, store::RunLock& lock) {
  if (path == kStandardStream) return;
  LockForTheRun(path, lock);
  RecoverInterruptedRewrite(path);
}

// Reads the settings, stops when TEMPLATE is not there, and puts the pairs
// of the names file into `table`; the "reading config" message around it.
Settings ReadConfig(const Options& options, config::ReplaceTable& table) {
  const std::string& template_name = options.template_path;
  if (!options.quiet) PlainWrite("reading config... ");
  const Settings settings = SettingsOrStop(options.quiet).settings;
  if (template_name != kStandardStream && !FileExists(template_name))
    StopOnMissingFile(template_name);
  LoadNamesFile(settings, table);
  if (!options.quiet) WriteMarkup(kDone);
  return settings;
}

[[noreturn]] void FillOnce(const Options& options) {
  const std::string& template_name = options.template_path;
  const std::optional<std::string> output = SeparateOutput(options);
  // One run at a time on each file, from before its journal is looked for
  // until the process ends.
  store::RunLock template_lock(store::SystemFileOps());
  store::RunLock output_lock(store::SystemFileOps());
  LockAndRecover(template_name, template_lock);
  if (output) LockAndRecover(*output, output_lock);

  config::ReplaceTable table;
  const Settings settings = ReadConfig(options, table);

  const std::string processing = ProcessingText(template_name, output);
  if (!options.quiet) PlainWrite(processing);
  // The counter is read once, after the "processing" text is out.
  AddBirthTime(table, settings, NowSeconds());
  AddCurrentSong(table, settings, QuerySongTitle());

  // A percentage on that line while it runs, where standard output shows
  // messages to a person.
  std::optional<FillProgress> progress;
  templating::ReadProgress report;
  if (!options.quiet && !ToStandardOutput(options)) {
    progress.emplace(console::RunningFigure::AfterMessages(processing, FillProgress::kWidest));
    report = [&progress](std::uint64_t read, std::uint64_t total) {
      progress->Report(read, total);
    };
  }
  const std::string& rewritten = output ? *output : template_name;
  store::RewriteOutcome outcome = output ? FillInto(template_name, *output, table, report)
                                         : RewriteTemplate(template_name, table, report);
  if (progress) progress->Erase();
  if (!outcome.ok) StopOnNotRewritten(rewritten, outcome);
  if (!options.quiet) WriteMarkup(kDone);
  ReportStuckJournal(rewritten, outcome);
  runtime::Halt(kExitOk);
}

}  // namespace

void Run() {
  std::vector<std::string> arguments = runtime::CommandArguments();
  arguments.erase(arguments.begin());
  const Options options = ParseOptions(arguments);
  if (!options.error && options.action == Action::Help) {
    WriteHelp();
    runtime::Halt(kExitOk);
  }
  if (!options.error && options.action == Action::Version) {
    WriteVersion();
    runtime::Halt(kExitOk);
  }
  // Standard output carries the filled text and nothing else.
  if (ToStandardOutput(options)) console::DirectMessagesTo(platform::StandardStream::Error);
  if (!options.quiet) WriteBanner();
  if (options.error) StopOnCommandLine(options.any_option);
  if (options.follow) Follow(options);
  FillOnce(options);
}

}  // namespace kelmora::app
