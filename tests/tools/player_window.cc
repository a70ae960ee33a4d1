// Test-only Windows program: shows a top-level window of the player's class
// with the caption given on the command line, so that the song-title query
// has a real window to find.
//
//   player_window.exe CAPTION STOP_FILE [CAPTION_FILE]
//
// Prints "ready" once the window exists, then keeps it until STOP_FILE
// exists (checked every 50 ms) or 60 seconds have passed. When CAPTION_FILE
// appears, its text becomes the caption and the file is removed.
#include <windows.h>

#include <cstdio>

namespace {

const char kPlayerClass[] = "Winamp v1.x";
const UINT_PTR kPollTimer = 1;
const char* g_stop_file = nullptr;
const char* g_caption_file = nullptr;

void TakeNewCaption(HWND window) {
  HANDLE file = CreateFileA(g_caption_file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char caption[256] = {};
  DWORD got = 0;
  ReadFile(file, caption, sizeof caption - 1, &got, nullptr);
  CloseHandle(file);
  DeleteFileA(g_caption_file);
  SetWindowTextA(window, caption);
}
int g_polls_left = 60 * 20;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER) {
    if (g_caption_file != nullptr) TakeNewCaption(window);
    bool stop = GetFileAttributesA(g_stop_file) != INVALID_FILE_ATTRIBUTES;
    if (stop || --g_polls_left <= 0) DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: player_window CAPTION STOP_FILE [CAPTION_FILE]\n");
    return 2;
  }
  g_stop_file = argv[2];
  if (argc == 4) g_caption_file = argv[3];
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = WindowProcedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kPlayerClass;
  if (RegisterClassA(&window_class) == 0) return 3;
  HWND window = CreateWindowA(kPlayerClass, argv[1], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                              nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) {
    std::fprintf(stderr, "no window: error %lu\n", GetLastError());
    return 4;
  }
  SetTimer(window, kPollTimer, 50, nullptr);
  std::printf("ready\n");
  std::fflush(stdout);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
