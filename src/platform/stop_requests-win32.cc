// The requests to stop the process on Windows: the console's break and
// close events, held back during a critical write.
#include "platform/platform.h"

#include "platform/win32.h"

namespace kelmora::platform {

namespace {
// Held exclusively by the main thread during a critical write; the console
// control handler, which runs on a thread of its own, waits for it.
SRWLOCK g_write_lock = SRWLOCK_INIT;

// Every break event goes on to the default handling, which ends the process
// at once, but only once a critical write is over; a close event is waited
// for as long as Windows lets its handler run. Ctrl+C never gets here: the
// input mode takes it as a key.
BOOL WINAPI PassBreakOn(DWORD /*event*/) {
  ::AcquireSRWLockShared(&g_write_lock);
  ::ReleaseSRWLockShared(&g_write_lock);
  return FALSE;
}

}  // namespace

void BeginCriticalWrite() { ::AcquireSRWLockExclusive(&g_write_lock); }

void EndCriticalWrite() { ::ReleaseSRWLockExclusive(&g_write_lock); }

void SetUpConsoleInput() {
  // Only mouse events: no line input, no echo, Ctrl+C as an ordinary key.
  ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), ENABLE_MOUSE_INPUT);
  ::SetConsoleCtrlHandler(PassBreakOn, TRUE);
}

}  // namespace kelmora::platform
