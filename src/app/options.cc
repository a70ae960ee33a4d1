#include "app/options.h"

#include <getopt.h>

namespace kelmora::app {
namespace {

enum LongOnly : int { kFollow = 0x100 };

// "-" first: operands come back in place (as 1), so that options may
// follow them whatever POSIXLY_CORRECT says; ":" next: a missing value is
// told apart and nothing is printed by getopt itself.
const char kShortOptions[] = "-:o:qhV";

const struct option kLongOptions[] = {
    {"output", required_argument, nullptr, 'o'}, {"quiet", no_argument, nullptr, 'q'},
    {"follow", no_argument, nullptr, kFollow},   {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},      {nullptr, 0, nullptr, 0},
};

// getopt_long wants C strings it may reorder; the words stay untouched.
std::vector<char*> ArgumentVector(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}

void AddOperand(Options& options, bool& has_operand, const char* operand) {
  if (has_operand) options.error = true;
  has_operand = true;
  options.template_path = operand;
}

// Takes one option getopt_long returned; false for an error.
bool TakeOption(Options& options, int option) {
  options.any_option = true;
  switch (option) {
    case 'o':
      if (options.output || *optarg == '\0') return false;
      options.output = optarg;
      return true;
    case 'q': options.quiet = true; return true;
    case kFollow: options.follow = true; return true;
    case 'h': options.action = Action::Help; return true;
    case 'V':
      if (options.action != Action::Help) options.action = Action::Version;
      return true;
    default: return false;  // '?' an unknown option, ':' a missing value
  }
}

void CheckCombination(Options& options, bool has_operand) {
  if (options.action != Action::Fill) return;
  if (!has_operand) options.error = true;
  if (options.follow && !options.output) options.error = true;
  if (options.follow && options.template_path == kStandardStream) options.error = true;
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& given) {
  std::vector<std::string> words{"kelmora"};
  for (const std::string& word : given)
    words.push_back(!kHelpAlias.empty() && word == kHelpAlias ? "--help" : word);
  std::vector<char*> argv = ArgumentVector(words);
  const int argc = static_cast<int>(words.size());

  Options options;
  bool has_operand = false;
  opterr = 0;
  optind = 0;  // starts getopt_long afresh, for every parse
  int option;
  while ((option = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr)) != -1) {
    if (option == 1) {
      AddOperand(options, has_operand, optarg);
    } else if (!TakeOption(options, option)) {
      options.error = true;
    }
  }
  // After "--": every word is an operand.
  for (int i = optind; i < argc; ++i)
    AddOperand(options, has_operand, argv[static_cast<std::size_t>(i)]);
  if (options.error) return options;
  CheckCombination(options, has_operand);
  return options;
}

bool ToStandardOutput(const Options& options) {
  return options.output && *options.output == kStandardStream;
}

}  // namespace kelmora::app
