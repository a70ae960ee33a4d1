// The console on Linux: a terminal or a stream, never a grid of cells;
// the terminal places its own cursor.
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kelmora::platform {

OutputKind StandardStreamKind(StandardStream stream) {
  int fd = stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
  return ::isatty(fd) ? OutputKind::Terminal : OutputKind::Stream;
}

OutputKind StandardOutputKind() { return StandardStreamKind(StandardStream::Output); }

bool TerminalTakesColour() {
  const char* no_colour = ::getenv("NO_COLOR");
  if (no_colour != nullptr && no_colour[0] != '\0') return false;
  const char* terminal = ::getenv("TERM");
  return terminal == nullptr || ::strcmp(terminal, "dumb") != 0;
}

int TerminalColumns() {
  struct winsize size = {};
  for (int fd : {STDOUT_FILENO, STDERR_FILENO})
    if (::isatty(fd) && ::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 0;
}

bool ReadScreenInfo(ScreenInfo* /*info*/) { return false; }
void WriteCells(int, int, const char*, std::size_t, std::uint8_t) {}
void ScrollUp(std::uint8_t) {}
void SetCursor(int, int) {}

// No console of cells here.
void UseConsoleOf(StandardStream) {}

// A terminal moves its own cursor as text arrives.
void StartCursorFollower(int, int) {}
void RecordCursor(int, int) {}
void StopCursorFollower() {}

}  // namespace kelmora::platform
