#include "console/ansi_sink.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "console/line_end_sink.h"
#include "console/markup.h"

namespace kelmora::console {
namespace {

struct SgrCase {
  std::uint8_t attribute;
  std::string expected;
};

TEST(SgrSequence, MapsThePcPaletteToTerminalColours) {
  const std::vector<SgrCase> cases = {
      {0x07, "\x1b[0m"},        {0x0C, "\x1b[0;91;49m"},  {0x0A, "\x1b[0;92;49m"},
      {0x0F, "\x1b[0;97;49m"},  {0x08, "\x1b[0;90;49m"},  {0x01, "\x1b[0;34;49m"},
      {0x17, "\x1b[0;37;44m"},  {0x1F, "\x1b[0;97;44m"},  {0x70, "\x1b[0;30;47m"},
      {0x4E, "\x1b[0;93;41m"},  {0x87, "\x1b[0;37;100m"}, {0xF0, "\x1b[0;30;107m"},
      {0x9C, "\x1b[0;91;104m"}, {0x6E, "\x1b[0;93;43m"},  {0x35, "\x1b[0;35;46m"},
      {0x2B, "\x1b[0;96;42m"},
  };
  for (const SgrCase& c : cases)
    EXPECT_EQ(SgrSequence(c.attribute), c.expected) << std::hex << int{c.attribute};
}

TEST(SgrSequence, SameForegroundAndBackgroundIsConcealed) {
  const std::vector<SgrCase> cases = {
      {0x00, "\x1b[0;30;49;8m"},
      {0x77, "\x1b[0;37;47;8m"},
      {0x88, "\x1b[0;90;100;8m"},
      {0xFF, "\x1b[0;97;107;8m"},
  };
  for (const SgrCase& c : cases)
    EXPECT_EQ(SgrSequence(c.attribute), c.expected) << std::hex << int{c.attribute};
}

// The program's sink replaced by an ANSI sink that writes into `out`,
// behind a LineEndSink of `line_end` when one is given.
class AnsiOutput {
 public:
  explicit AnsiOutput(std::optional<std::string_view> line_end = std::nullopt)
      : sink_([this](std::string_view bytes) { out_ += bytes; }),
        line_ends_(sink_, line_end.value_or("\r\n")),
        previous_(SwapSink(line_end ? static_cast<ConsoleSink*>(&line_ends_) : &sink_)) {
    SetCurrentAttribute(kDefaultAttribute);
  }
  ~AnsiOutput() { SwapSink(previous_); }
  const std::string& out() const { return out_; }

 private:
  std::string out_;
  AnsiSink sink_;
  LineEndSink line_ends_;
  ConsoleSink* previous_;
};

struct TerminalCase {
  std::string markup;
  std::string expected;
};

TEST(AnsiSink, SendsColoursOnlyOnChangeAndEndsInDefault) {
  const std::vector<TerminalCase> cases = {
      {"plain\r\n", "plain\r\n"},
      {"~0A~done!~07~\r\n", "\x1b[0;92;49mdone!\x1b[0m\r\n"},
      {"~0C~ \xFE ~07~error in command line!\r\n",
       "\x1b[0;91;49m \xFE \x1b[0merror in command line!\r\n"},
      {"~0C~   aborting...\r\n", "\x1b[0;91;49m   aborting...\r\n\x1b[0m"},
      {"~0G~x", "\x1b[0;30;49;8mx\x1b[0m"},
      {"a\bb\x07\tc", "a\bb\x07\tc"},
  };
  for (const TerminalCase& c : cases) {
    AnsiOutput terminal;
    WriteMarkup(c.markup);
    EXPECT_EQ(terminal.out(), c.expected) << c.markup;
  }
}

TEST(AnsiSink, PlainWriteInDefaultAttributeSendsNoSequence) {
  AnsiOutput terminal;
  PlainWrite("reading config... ");
  PlainWriteLine("x");
  EXPECT_EQ(terminal.out(), "reading config... x\r\n");
}

// Only a CR LF within one write is a line end to change.
TEST(LineEndSink, MakesEachCrLfOfAWriteTheLineEnd) {
  const std::vector<TerminalCase> cases = {
      {"~0C~   aborting...\r\n", "\x1b[0;91;49m   aborting...\n\x1b[0m"},
      {"~0A~done!~07~\r\n", "\x1b[0;92;49mdone!\x1b[0m\n"},
      {"a\r\n\r\nb\r\n", "a\n\nb\n"},
      {"\r\r\n\n\ra\rb\n", "\r\n\n\ra\rb\n"},
      {"~0D~\r~07~\n", "\x1b[0;95;49m\r\x1b[0m\n"},
      {"", ""},
  };
  for (const TerminalCase& c : cases) {
    std::string unchanged;
    {
      AnsiOutput terminal;
      WriteMarkup(c.markup);
      unchanged = terminal.out();
    }
    {
      AnsiOutput terminal("\n");
      WriteMarkup(c.markup);
      EXPECT_EQ(terminal.out(), c.expected) << c.markup;
    }
    AnsiOutput terminal("\r\n");
    WriteMarkup(c.markup);
    EXPECT_EQ(terminal.out(), unchanged) << c.markup;
  }
}

TEST(AnsiSink, EveryWriteEndsInDefaultColours) {
  std::string out;
  AnsiSink sink([&out](std::string_view bytes) { out += bytes; });
  sink.Write("a", 0x0C);
  sink.Write("b", 0x0C);
  sink.Write("c", 0x1F);
  sink.EndOfWrite();
  sink.EndOfWrite();
  sink.Write("d", 0x07);
  sink.EndOfWrite();
  EXPECT_EQ(out,
            "\x1b[0;91;49ma"
            "b"
            "\x1b[0;97;44mc"
            "\x1b[0m"
            "d");
}

}  // namespace
}  // namespace kelmora::console
