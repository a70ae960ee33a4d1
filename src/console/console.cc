#include "console/console.h"

#include "console/stream_sink.h"
#include "platform/platform.h"
#include "text/runtime.h"

namespace kelmora::console {
namespace {

std::uint8_t g_attribute = 0x07;
StreamSink g_stream_sink;
ConsoleSink* g_sink = &g_stream_sink;

}  // namespace

void SetUpConsole() {
  platform::SetUpConsoleInput();
  g_sink = &g_stream_sink;
  g_attribute = 0x07;
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

void PlainWrite(std::string_view text) { ConsoleWrite(text); }

void PlainWriteLine(std::string_view text) {
  ConsoleWrite(text);
  ConsoleWrite("\r\n");
}

}  // namespace kelmora::console
