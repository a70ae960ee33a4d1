// The command line: the options and the one operand, as getopt_long reads
// them on both builds.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora::app {

// The operand or OUTPUT that stands for a standard stream.
inline constexpr std::string_view kStandardStream = "-";

// The words that ask for help besides -h and --help: "/?" on Windows, the
// way its own programs are asked.
#ifdef _WIN32
inline constexpr std::string_view kHelpAlias = "/?";
#else
inline constexpr std::string_view kHelpAlias = "";
#endif

enum class Action { Fill, Help, Version };

struct Options {
  Action action = Action::Fill;
  // The command line cannot be run: an unknown option, a missing or a
  // second operand, an option without its value, --follow without -o or
  // with the template on standard input.
  bool error = false;
  // An option was given; the usage line of an error then lists them.
  bool any_option = false;
  bool quiet = false;
  bool follow = false;
  // The template: a path, or kStandardStream for standard input.
  std::string template_path;
  // Where the filled text goes: none for the template itself, a path, or
  // kStandardStream for standard output.
  std::optional<std::string> output;
};

// `words` are the arguments after the program name. Options may stand
// before or after the operand; "--" ends them. The fields read before an
// error are kept, so that its report can honour -q and -o -.
Options ParseOptions(const std::vector<std::string>& words);

// True when the filled text goes to standard output.
bool ToStandardOutput(const Options& options);

}  // namespace kelmora::app
