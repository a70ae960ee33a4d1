// The Windows console: its grid of cells, and the thread that keeps its
// cursor where the console writer last put it.
#include "platform/platform.h"

#include "platform/win32.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace kelmora::platform {

namespace {

// The standard stream whose console the console calls act on.
DWORD g_console_stream = STD_OUTPUT_HANDLE;

HANDLE OutputHandle() { return ::GetStdHandle(g_console_stream); }

DWORD StandardHandleOf(StandardStream stream) {
  return stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

SHORT ToShort(int value) { return static_cast<SHORT>(value); }

COORD At(int x, int y) { return COORD{ToShort(x), ToShort(y)}; }

// A console may refuse a single transfer of more than about 64 KiB of cells.
constexpr int kMaxCellsPerCall = 8000;

// Copies rows [from, from + count) of the buffer to start at row `to`.
void CopyRows(int width, int from, int to, int count) {
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(width * count));
  COORD size = At(width, count);
  SMALL_RECT source = {0, ToShort(from), ToShort(width - 1), ToShort(from + count - 1)};
  if (!::ReadConsoleOutputA(OutputHandle(), cells.data(), size, At(0, 0), &source)) return;
  SMALL_RECT target = {0, ToShort(to), ToShort(width - 1), ToShort(to + count - 1)};
  ::WriteConsoleOutputA(OutputHandle(), cells.data(), size, At(0, 0), &target);
}

}  // namespace

OutputKind StandardStreamKind(StandardStream stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  return ::GetConsoleScreenBufferInfo(::GetStdHandle(StandardHandleOf(stream)), &info)
             ? OutputKind::Console
             : OutputKind::Stream;
}

OutputKind StandardOutputKind() { return StandardStreamKind(StandardStream::Output); }

void UseConsoleOf(StandardStream stream) { g_console_stream = StandardHandleOf(stream); }

bool TerminalTakesColour() { return true; }

// No terminal of that kind here (see TerminalTakesColour).
int TerminalColumns() { return 0; }

bool ReadScreenInfo(ScreenInfo* info) {
  CONSOLE_SCREEN_BUFFER_INFO console;
  if (!::GetConsoleScreenBufferInfo(OutputHandle(), &console)) return false;
  info->width = console.dwSize.X;
  info->height = console.dwSize.Y;
  info->cursor_x = console.dwCursorPosition.X;
  info->cursor_y = console.dwCursorPosition.Y;
  WORD attribute = 0;
  DWORD read = 0;
  if (::ReadConsoleOutputAttribute(OutputHandle(), &attribute, 1, console.dwCursorPosition,
                                   &read) &&
      read == 1) {
    info->attribute_under_cursor = static_cast<std::uint8_t>(attribute & 0xFF);
  } else {
    info->attribute_under_cursor = static_cast<std::uint8_t>(console.wAttributes & 0xFF);
  }
  return true;
}

void WriteCells(int x, int y, const char* chars, std::size_t size, std::uint8_t attribute) {
  if (size == 0) return;
  std::vector<CHAR_INFO> cells(size);
  for (std::size_t i = 0; i < size; ++i) {
    cells[i].Char.AsciiChar = chars[i];
    cells[i].Attributes = attribute;
  }
  int count = static_cast<int>(size);
  SMALL_RECT target = {ToShort(x), ToShort(y), ToShort(x + count - 1), ToShort(y)};
  ::WriteConsoleOutputA(OutputHandle(), cells.data(), At(count, 1), At(0, 0), &target);
}

void ScrollUp(std::uint8_t fill_attribute) {
  CONSOLE_SCREEN_BUFFER_INFO console;
  if (!::GetConsoleScreenBufferInfo(OutputHandle(), &console)) return;
  int width = console.dwSize.X, height = console.dwSize.Y;
  if (width <= 0 || height <= 0) return;
  int rows_per_call = std::max(1, kMaxCellsPerCall / width);
  // Top to bottom, so every row is read before it is overwritten.
  for (int row = 1; row < height; row += rows_per_call)
    CopyRows(width, row, row - 1, std::min(rows_per_call, height - row));
  std::string blank(static_cast<std::size_t>(width), ' ');
  WriteCells(0, height - 1, blank.data(), blank.size(), fill_attribute);
}

void SetCursor(int x, int y) { ::SetConsoleCursorPosition(OutputHandle(), At(x, y)); }

// ------------------------------------------------- cursor follower thread

namespace {

// Written by the main thread, read by the follower; a stale read only delays
// the cursor move by one wake-up.
std::atomic<int> g_recorded_x{0}, g_recorded_y{0};
std::atomic<bool> g_stop_following{false};
HANDLE g_cursor_event = nullptr;
HANDLE g_cursor_thread = nullptr;

constexpr DWORD kFollowerWakeUp = 300;
constexpr DWORD kFollowerStopWait = 2000;

DWORD WINAPI FollowCursor(LPVOID /*unused*/) {
  int applied_x = -1, applied_y = -1;
  while (!g_stop_following.load(std::memory_order_relaxed)) {
    ::WaitForSingleObject(g_cursor_event, kFollowerWakeUp);
    int x = g_recorded_x.load(std::memory_order_relaxed);
    int y = g_recorded_y.load(std::memory_order_relaxed);
    if (x != applied_x || y != applied_y) {
      SetCursor(x, y);
      applied_x = x;
      applied_y = y;
    }
  }
  return 0;
}

}  // namespace

void StartCursorFollower(int x, int y) {
  if (g_cursor_thread != nullptr) return;
  RecordCursor(x, y);
  g_stop_following = false;
  g_cursor_event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (g_cursor_event == nullptr) return;
  g_cursor_thread = ::CreateThread(nullptr, 0, FollowCursor, nullptr, 0, nullptr);
}

void RecordCursor(int x, int y) {
  g_recorded_x.store(x, std::memory_order_relaxed);
  g_recorded_y.store(y, std::memory_order_relaxed);
  if (g_cursor_event != nullptr) ::SetEvent(g_cursor_event);
}

void StopCursorFollower() {
  if (g_cursor_thread == nullptr) return;
  g_stop_following = true;
  ::SetEvent(g_cursor_event);
  // The thread must not move the cursor after the final placement below.
  ::WaitForSingleObject(g_cursor_thread, kFollowerStopWait);
  ::CloseHandle(g_cursor_thread);
  g_cursor_thread = nullptr;
  SetCursor(g_recorded_x.load(), g_recorded_y.load());
}

}  // namespace kelmora::platform
