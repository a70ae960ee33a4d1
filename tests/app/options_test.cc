#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelmora::app {
namespace {

// The parse in one line: the action, the flags set, the template and the
// output.
std::string Described(const Options& options) {
  const char* actions[] = {"fill", "help", "version"};
  std::string text = actions[static_cast<int>(options.action)];
  if (options.error) text += " error";
  if (options.any_option) text += " options";
  if (options.quiet) text += " quiet";
  if (options.follow) text += " follow";
  text += " [" + options.template_path + "]";
  if (options.output) text += " -> [" + *options.output + "]";
  return text;
}

// Every option in both spellings, before and after the operand, "--", and
// each way a command line is refused.
TEST(ParseOptions, ReadsEveryOptionAndRefusesWhatCannotRun) {
  struct Case {
    std::vector<std::string> words;
    std::string expected;
  } cases[] = {
      {{"in.txt"}, "fill [in.txt]"},
      {{"-o", "out.txt", "in.txt"}, "fill options [in.txt] -> [out.txt]"},
      {{"in.txt", "-o", "out.txt"}, "fill options [in.txt] -> [out.txt]"},
      {{"in.txt", "--output=out.txt"}, "fill options [in.txt] -> [out.txt]"},
      {{"--output", "out.txt", "in.txt"}, "fill options [in.txt] -> [out.txt]"},
      {{"-oout.txt", "in.txt"}, "fill options [in.txt] -> [out.txt]"},
      {{"in.txt", "-o", "-"}, "fill options [in.txt] -> [-]"},
      {{"-", "-o", "-"}, "fill options [-] -> [-]"},
      {{"-q", "in.txt"}, "fill options quiet [in.txt]"},
      {{"in.txt", "--quiet"}, "fill options quiet [in.txt]"},
      {{"--follow", "-q", "in.txt", "-o", "-"}, "fill options quiet follow [in.txt] -> [-]"},
      {{"-qo", "out.txt", "in.txt", "--follow"}, "fill options quiet follow [in.txt] -> [out.txt]"},
      {{"--fol", "in.txt", "-o", "o"}, "fill options follow [in.txt] -> [o]"},
      {{"--", "-q"}, "fill [-q]"},
      {{"-o", "out.txt", "--", "--follow"}, "fill options [--follow] -> [out.txt]"},
      {{"-h"}, "help options []"},
      {{"--help"}, "help options []"},
      {{"in.txt", "--help"}, "help options [in.txt]"},
      {{"-V"}, "version options []"},
      {{"--version"}, "version options []"},
      {{"--version", "--help"}, "help options []"},
      // Refused: no operand, two, an unknown option, a value missing or
      // given twice, --follow without -o or with standard input.
      {{}, "fill error []"},
      {{"a", "b"}, "fill error [b]"},
      {{"--", "a", "b"}, "fill error [b]"},
      {{"-x", "in.txt"}, "fill error options [in.txt]"},
      {{"--bogus", "in.txt"}, "fill error options [in.txt]"},
      {{"--help=yes"}, "fill error options []"},
      {{"in.txt", "-o"}, "fill error options [in.txt]"},
      {{"in.txt", "--output"}, "fill error options [in.txt]"},
      {{"in.txt", "--output="}, "fill error options [in.txt]"},
      {{"in.txt", "-o", "a", "-o", "b"}, "fill error options [in.txt] -> [a]"},
      {{"-o", "out.txt"}, "fill error options [] -> [out.txt]"},
      {{"--follow", "in.txt"}, "fill error options follow [in.txt]"},
      {{"--follow", "-", "-o", "-"}, "fill error options follow [-] -> [-]"},
      {{"-q"}, "fill error options quiet []"},
      {{"-h", "--bogus"}, "help error options []"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& word : c.words) shown += "[" + word + "]";
    EXPECT_EQ(Described(ParseOptions(c.words)), c.expected) << shown;
  }
}

TEST(ParseOptions, SlashQuestionMarkAsksForHelpOnlyOnWindows) {
  Options got = ParseOptions({"/?"});
#ifdef _WIN32
  EXPECT_EQ(got.action, Action::Help);
  EXPECT_FALSE(got.error);
#else
  // A file of that name.
  EXPECT_EQ(got.action, Action::Fill);
  EXPECT_EQ(got.template_path, "/?");
#endif
}

}  // namespace
}  // namespace kelmora::app
