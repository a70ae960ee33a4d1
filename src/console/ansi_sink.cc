#include "console/ansi_sink.h"

#include <utility>

#include "platform/platform.h"

namespace kelmora::console {
namespace {

// The PC palette numbers its colours blue-green-red from bit 0 up, ANSI
// red-green-blue: PC 1 (blue) is ANSI 4, PC 4 (red) is ANSI 1.
int AnsiColour(int pc_colour) {
  int red = (pc_colour >> 2) & 1, green = (pc_colour >> 1) & 1, blue = pc_colour & 1;
  return red | (green << 1) | (blue << 2);
}

int ForegroundCode(int colour) { return (colour < 8 ? 30 : 90) + AnsiColour(colour & 7); }

// Background 0 is the terminal's own background, the way black is the
// console's usual one.
int BackgroundCode(int colour) {
  if (colour == 0) return 49;
  return (colour < 8 ? 40 : 100) + AnsiColour(colour & 7);
}

}  // namespace

std::string SgrSequence(std::uint8_t attribute) {
  if (attribute == kDefaultAttribute) return "\x1b[0m";
  int foreground = attribute & 0x0F;
  int background = attribute >> 4;
  // Starts from a reset, so no rendition of an earlier sequence lingers.
  std::string sequence = "\x1b[0;" + std::to_string(ForegroundCode(foreground)) + ";" +
                         std::to_string(BackgroundCode(background));
  if (foreground == background) sequence += ";8";
  return sequence + "m";
}

AnsiSink::AnsiSink()
    : AnsiSink([](std::string_view bytes) {
        platform::WriteStandardOutput(bytes.data(), bytes.size());
      }) {}

AnsiSink::AnsiSink(Output output) : output_(std::move(output)) {}

void AnsiSink::Write(std::string_view bytes, std::uint8_t attribute) {
  if (bytes.empty()) return;
  std::string out;
  if (attribute != shown_) {
    out = SgrSequence(attribute);
    shown_ = attribute;
  }
  out += bytes;
  output_(out);
}

void AnsiSink::EndOfWrite() {
  if (shown_ == kDefaultAttribute) return;
  output_(SgrSequence(kDefaultAttribute));
  shown_ = kDefaultAttribute;
}

}  // namespace kelmora::console
