// The process-wide console text output: the current text attribute and the
// sink that every write of the program reaches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/sink.h"
#include "platform/platform.h"

namespace kelmora::console {

// Chooses the sink for standard output (console, terminal or byte stream;
// a terminal where colour is unwanted gets the stream's bytes, with the
// same text), takes the start-up attribute, sets up the input mode and break handling,
// and registers the exit procedure that ends the console's work.
void SetUpConsole();

// Every message goes to `stream` from now on, through the sink its kind
// takes: standard error when the filled text has standard output.
void DirectMessagesTo(platform::StandardStream stream);

std::uint8_t CurrentAttribute();
void SetCurrentAttribute(std::uint8_t attribute);

// Replaces the sink (tests); returns the previous one.
ConsoleSink* SwapSink(ConsoleSink* sink);

// Places `bytes` in the current attribute.
void ConsoleWrite(std::string_view bytes);
// False while the sink drops the attributes (a pipe or a file).
bool SinkShowsAttributes();

// Where the messages go: a console's screen, a terminal, or a byte stream
// (also a console that could not be asked).
platform::OutputKind MessagesKind();
// Columns left on the current line after `line_start_size` bytes of text
// written since its start: on a console from its cursor, on a terminal from
// its width, 80 when it does not tell (bytes count as columns, so it may be
// too few, never too many); 0 for a byte stream.
int ColumnsLeftOnLine(std::size_t line_start_size);

// Plain writes: no markup is interpreted.
void PlainWrite(std::string_view text);
void PlainWriteLine(std::string_view text);

}  // namespace kelmora::console
