#include "app/help.h"

#include <string>
#include <string_view>

#include "app/file_names.h"
#include "app/paths.h"
#include "console/console.h"
#include "platform/platform.h"
#include "text/text_rules.h"
#include "version_info.h"

namespace kelmora::app {
namespace {

using console::PlainWriteLine;

const char* const kHelpLines[] = {
    "Fills live values into a text: @BirthTime, @CurrentSong, the names",
    "file's words and the calls @PAD, @NUM and @SIZE.",
    "",
    "  FILE                   fill FILE in place",
    "  TEMPLATE -o OUTPUT     fill TEMPLATE into OUTPUT; TEMPLATE is kept",
    "  TEMPLATE -o -          fill TEMPLATE into standard output",
    "  - -o OUTPUT|-          read the template from standard input",
    "",
    "  -o, --output=OUTPUT    where the filled text goes (- for standard output)",
    "  -q, --quiet            print nothing on success",
    "      --follow           fill again whenever a value changes (needs -o);",
    "                         Ctrl+C or SIGTERM ends it",
    "  -h, --help             this text",
    "  -V, --version          the version and the licences",
    "  --                     ends the options",
    "",
};

const char* const kExitLines[] = {
    "Exit codes: 0 done, 1 no kelmora.ctl, 2 command line, 3 TEMPLATE not",
    "found, 4 OUTPUT not rewritten (it keeps its bytes), 5 OUTPUT may be",
    "damaged (its journal keeps its bytes for the next run).",
};

// The settings are looked for beside the executable first; where the OS has
// a folder for users' settings, there next.
void WriteSettingsPlaces() {
  const PathRules& rules = NativePathRules();
  std::string beside = WithTrailingSeparator(DirOf(platform::ExecutablePath(), rules), rules);
  PlainWriteLine("Settings: " + InertName(beside + "kelmora.ctl"));
  if (std::optional<std::string> folder = platform::UserSettingsFolder())
    PlainWriteLine("  or else " + InertName(WithTrailingSeparator(*folder, rules) + "kelmora" +
                                            rules.separator + "kelmora.ctl"));
}

}  // namespace

const char* OptionsUsage() { return "[-q] [--follow] [-o OUTPUT|-] [-h] [-V] [--] <filename>|-"; }

void WriteHelp() {
  PlainWriteLine(std::string("usage: ") + std::string(text::kNativeText.program_name) + " " +
                 OptionsUsage());
  for (const char* line : kHelpLines) PlainWriteLine(line);
  WriteSettingsPlaces();
  for (const char* line : kExitLines) PlainWriteLine(line);
}

void WriteVersion() {
  PlainWriteLine(std::string("kelmora ") + std::string(kVersion));
  PlainWriteLine("");
  // Lines of the file end in LF; every line the program prints ends in
  // CR LF.
  std::string_view licences(reinterpret_cast<const char*>(kLicenceBytes), sizeof kLicenceBytes);
  while (!licences.empty()) {
    std::size_t end = licences.find('\n');
    std::string_view line = licences.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    PlainWriteLine(line);
    licences = end == std::string_view::npos ? std::string_view() : licences.substr(end + 1);
  }
}

}  // namespace kelmora::app
