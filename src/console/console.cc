#include "console/console.h"

#include <algorithm>
#include <optional>
#include <string>

#include "console/ansi_sink.h"
#include "console/line_end_sink.h"
#include "console/platform_screen.h"
#include "console/screen_sink.h"
#include "console/stream_sink.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "text/text_rules.h"

namespace kelmora::console {
namespace {

std::uint8_t g_attribute = kDefaultAttribute;
StreamSink g_stream_sink;
AnsiSink g_ansi_sink;
void WriteToError(std::string_view bytes) {
  platform::WriteStandardError(bytes.data(), bytes.size());
}
StreamSink g_error_stream_sink(WriteToError);
AnsiSink g_error_ansi_sink(WriteToError);
// The terminal and the stream see the build's own line ends.
LineEndSink g_stream_output(g_stream_sink, text::kNativeText.line_end);
LineEndSink g_terminal_output(g_ansi_sink, text::kNativeText.line_end);
LineEndSink g_error_stream_output(g_error_stream_sink, text::kNativeText.line_end);
LineEndSink g_error_terminal_output(g_error_ansi_sink, text::kNativeText.line_end);
PlatformScreen g_platform_screen;
std::optional<ScreenSink> g_screen_sink;
ConsoleSink* g_sink = &g_stream_output;
// Where the messages go; Stream also for a console that could not be asked.
platform::OutputKind g_messages_kind = platform::OutputKind::Stream;

// Bit 7 of an attribute is the background intensity, which the program's
// text never starts with.
constexpr std::uint8_t kNoBackgroundIntensity = 0x7F;

void StopCursorFollower() { platform::StopCursorFollower(); }

// Takes over the console's screen from where its cursor stands; false when
// the console cannot be asked.
bool SetUpScreen() {
  platform::ScreenInfo info;
  if (!platform::ReadScreenInfo(&info)) return false;
  g_attribute = static_cast<std::uint8_t>(info.attribute_under_cursor & kNoBackgroundIntensity);
  g_screen_sink.emplace(g_platform_screen, info.width, info.height,
                        CursorPosition{info.cursor_x, info.cursor_y});
  g_sink = &*g_screen_sink;
  CursorPosition start = g_screen_sink->cursor();
  platform::StartCursorFollower(start.x, start.y);
  runtime::AddExitProcedure(StopCursorFollower);
  return true;
}

}  // namespace

void SetUpConsole() {
  platform::SetUpConsoleInput();
  g_attribute = kDefaultAttribute;
  g_sink = &g_stream_output;
  g_messages_kind = platform::StandardOutputKind();
  switch (g_messages_kind) {
    case platform::OutputKind::Console:
      if (!SetUpScreen()) g_messages_kind = platform::OutputKind::Stream;
      break;
    case platform::OutputKind::Terminal:
      // Without colour the terminal gets the very bytes a stream gets.
      if (platform::TerminalTakesColour()) g_sink = &g_terminal_output;
      break;
    case platform::OutputKind::Stream: break;
  }
}

void DirectMessagesTo(platform::StandardStream stream) {
  const bool error = stream == platform::StandardStream::Error;
  ConsoleSink* stream_output = error ? &g_error_stream_output : &g_stream_output;
  g_messages_kind = platform::StandardStreamKind(stream);
  switch (g_messages_kind) {
    case platform::OutputKind::Console:
      // One screen serves both streams of a console.
      platform::UseConsoleOf(stream);
      if (!g_screen_sink && !SetUpScreen()) {
        g_sink = stream_output;
        g_messages_kind = platform::OutputKind::Stream;
      }
      if (g_screen_sink) g_sink = &*g_screen_sink;
      break;
    case platform::OutputKind::Terminal:
      g_sink = stream_output;
      if (platform::TerminalTakesColour())
        g_sink = error ? &g_error_terminal_output : &g_terminal_output;
      break;
    case platform::OutputKind::Stream: g_sink = stream_output; break;
  }
}

std::uint8_t CurrentAttribute() { return g_attribute; }
void SetCurrentAttribute(std::uint8_t attribute) { g_attribute = attribute; }

ConsoleSink* SwapSink(ConsoleSink* sink) {
  ConsoleSink* previous = g_sink;
  g_sink = sink;
  return previous;
}

void ConsoleWrite(std::string_view bytes) {
  if (bytes.empty()) return;
  g_sink->Write(bytes, g_attribute);
  g_sink->EndOfWrite();
}

bool SinkShowsAttributes() { return g_sink->ShowsAttributes(); }

platform::OutputKind MessagesKind() { return g_messages_kind; }

int ColumnsLeftOnLine(std::size_t line_start_size) {
  switch (g_messages_kind) {
    case platform::OutputKind::Console: return g_screen_sink ? g_screen_sink->columns_left() : 0;
    case platform::OutputKind::Terminal: {
      // A terminal that does not tell its width is taken as the usual 80.
      constexpr int kUsualWidth = 80;
      const int told = platform::TerminalColumns();
      const int width = told > 0 ? told : kUsualWidth;
      const std::size_t used = std::min(line_start_size, static_cast<std::size_t>(width));
      return width - static_cast<int>(used);
    }
    case platform::OutputKind::Stream: break;
  }
  return 0;
}

void PlainWrite(std::string_view text) { ConsoleWrite(text); }

void PlainWriteLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  ConsoleWrite(line);
}

}  // namespace kelmora::console
