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

// Continues the open "processing" line.
[[noreturn]] void StopOnNotRewritten(const std::string& name, platform::ErrorCode error) {
  WriteFileNotLine(name, "rewritten");
  WriteMarkup(ShortString("   ") + DoubleTildes(platform::ErrorText(error)) + "\r\n");
  WriteMarkup("~0C~   aborting...\r\n");
  text::Halt(kExitNotRewritten);
}

// Opens the file and runs the template pass over it with `table`; the
// stream is closed on return, before anything is reported.
templating::PassOutcome RewriteTemplate(const std::string& name,
                                        const config::ReplaceTable& table) {
  store::FileStream stream(name, store::kOpenReadWrite, 4096);
  return templating::ProcessTemplate(stream,
                                     [&table](text::LongLine& line) { table.Apply(line); });
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

  PlainWrite("reading config... ");
  const Settings settings = ReadSettings();

  if (!FileExists(file_name)) StopOnMissingFile(file_name);

  config::ReplaceTable table;
  LoadNamesFile(settings, table);
  WriteMarkup(kDone);

  PlainWrite("processing [" + InertName(file_name) + "]... ");
  AddBirthTime(table, settings);
  AddCurrentSong(table, settings);

  templating::PassOutcome outcome = RewriteTemplate(file_name, table);
  if (!outcome.ok) StopOnNotRewritten(file_name, outcome.error);
  WriteMarkup(kDone);
  text::Halt(kExitOk);
}

}  // namespace kelmora::app
