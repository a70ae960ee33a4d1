// Waiting for change on Windows: a WinEvent hook on the player window's
// caption, a look at the caption and at the files' time stamps once a
// second, the clock, and the console's stop events.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kelmora::platform {
namespace {

constexpr DWORD kCheckMs = 1000;
const char kPlayerClass[] = "Winamp v1.x";

// Set by the console's control handler, which runs on a thread of its own.
HANDLE g_stop_event = nullptr;
// Set by the WinEvent hook, which runs on the main thread while it pumps
// messages.
bool g_caption_event = false;

// Ctrl+C, Ctrl+Break and the console's close only ask the main thread to
// stop; it ends the process once a write in progress is complete. The close
// event ends the process when the handler returns, so it waits for that.
BOOL WINAPI AskToStop(DWORD event) {
  ::SetEvent(g_stop_event);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    ::Sleep(INFINITE);
  return TRUE;
}

void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD,
                            DWORD) {
  if (window == nullptr || object != OBJID_WINDOW || child != CHILDID_SELF) return;
  char name[sizeof kPlayerClass + 1] = {};
  if (::GetClassNameA(window, name, sizeof name) > 0 && std::string(name) == kPlayerClass)
    g_caption_event = true;
}

// What tells a change of a file: whether it is there, its size, its last
// write time.
struct FileLook {
  bool exists = false;
  std::uint64_t size = 0;
  std::uint64_t written = 0;
  bool operator==(const FileLook&) const = default;
};

FileLook LookAt(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  FileLook look;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return look;
  look.exists = true;
  look.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  look.written = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                 data.ftLastWriteTime.dwLowDateTime;
  return look;
}

// Milliseconds until the start of the `seconds`-th local second after the
// current one.
DWORD MsToSecondBoundary(int seconds) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  long long ms = static_cast<long long>(seconds) * 1000 - now.wMilliseconds;
  return static_cast<DWORD>(std::clamp<long long>(ms, 0, 86400000));
}

}  // namespace

struct ChangeWaiter::State {
  HWINEVENTHOOK hook = nullptr;
  std::vector<std::string> paths;
  std::vector<FileLook> looks;
  std::optional<std::string> caption;
  ULONGLONG next_check = 0;

  unsigned Check();
};

ChangeWaiter::ChangeWaiter() : state_(new State) {
  g_stop_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Ctrl+C is a stop request now rather than a key.
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (::GetConsoleMode(input, &mode)) ::SetConsoleMode(input, mode | ENABLE_PROCESSED_INPUT);
  ::SetConsoleCtrlHandler(AskToStop, TRUE);
  state_->hook =
      ::SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_NAMECHANGE, nullptr, OnWindowEvent, 0, 0,
                        WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
  state_->caption = FindWindowCaption(kPlayerClass);
  state_->next_check = ::GetTickCount64() + kCheckMs;
}

ChangeWaiter::~ChangeWaiter() {
  if (state_->hook != nullptr) ::UnhookWinEvent(state_->hook);
  delete state_;
}

void ChangeWaiter::WatchFiles(const std::vector<std::string>& paths) {
  state_->paths = paths;
  state_->looks.clear();
  for (const std::string& path : paths) state_->looks.push_back(LookAt(path));
}

// The once-a-second look at the files and at the caption, for what the
// hook cannot tell (a player window made or gone, a hook refused).
unsigned ChangeWaiter::State::Check() {
  unsigned wakes = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    FileLook look = LookAt(paths[i]);
    if (!(look == looks[i])) wakes |= kWakeFiles;
    looks[i] = look;
  }
  std::optional<std::string> now = FindWindowCaption(kPlayerClass);
  if (now != caption) wakes |= kWakeSong;
  caption = std::move(now);
  return wakes;
}

unsigned ChangeWaiter::Wait(int seconds) {
  State& state = *state_;
  std::optional<ULONGLONG> deadline;
  if (seconds > 0) deadline = ::GetTickCount64() + MsToSecondBoundary(seconds);
  for (;;) {
    ULONGLONG now = ::GetTickCount64();
    ULONGLONG until = state.next_check;
    if (deadline) until = std::min(until, *deadline);
    DWORD timeout = until > now ? static_cast<DWORD>(until - now) : 0;
    DWORD woken = ::MsgWaitForMultipleObjects(1, &g_stop_event, FALSE, timeout, QS_ALLINPUT);
    unsigned wakes = 0;
    if (woken == WAIT_OBJECT_0) wakes |= kWakeStop;
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    if (g_caption_event) {
      g_caption_event = false;
      std::optional<std::string> caption = FindWindowCaption(kPlayerClass);
      if (caption != state.caption) wakes |= kWakeSong;
      state.caption = std::move(caption);
    }
    now = ::GetTickCount64();
    if (now >= state.next_check) {
      wakes |= state.Check();
      state.next_check = now + kCheckMs;
    }
    if (deadline && now >= *deadline) wakes |= kWakeClock;
    if (wakes != 0) return wakes;
  }
}

// No service to lose: the caption is looked at directly.
bool ChangeWaiter::SongServiceReachable() const { return true; }

}  // namespace kelmora::platform
