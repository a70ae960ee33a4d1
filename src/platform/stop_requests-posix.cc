// The requests to stop the process on Linux: the signals held back during
// a critical write, and the keys that stop a run.
#include "platform/platform.h"

#include <pthread.h>
#include <signal.h>

namespace kelmora::platform {

namespace {
sigset_t g_mask_before_write;
}  // namespace

void BeginCriticalWrite() {
  sigset_t stops;
  ::sigemptyset(&stops);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::sigaddset(&stops, signal_number);
  ::pthread_sigmask(SIG_BLOCK, &stops, &g_mask_before_write);
}

// A signal that arrived meanwhile is delivered here.
void EndCriticalWrite() { ::pthread_sigmask(SIG_SETMASK, &g_mask_before_write, nullptr); }

void SetUpConsoleInput() {
  // Ctrl+C does not stop the run; Ctrl+\ (SIGQUIT) keeps its default
  // action and ends the process at once, as Ctrl+Break does on Windows.
  ::signal(SIGINT, SIG_IGN);
  ::signal(SIGQUIT, SIG_DFL);
}

}  // namespace kelmora::platform
