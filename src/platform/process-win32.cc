// The process on Windows: its start, command line, executable and end.
#include "platform/platform.h"

#include "platform/win32.h"

namespace kelmora::platform {

namespace {

std::vector<std::string> g_arguments;

}  // namespace

void Init(int argc, char** argv) {
  g_arguments.assign(argv, argv + argc);
  // A missing standard handle is given the null device, as on the other
  // builds; pipes closed by the reader already fail quietly on Windows and
  // there is no file-size signal.
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    HANDLE handle = ::GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) continue;
    HANDLE null_device =
        ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (null_device != INVALID_HANDLE_VALUE) ::SetStdHandle(which, null_device);
  }
}

std::optional<std::string> RawCommandLine() { return std::string(::GetCommandLineA()); }

std::vector<std::string> ArgumentWords() { return g_arguments; }

std::string ExecutablePath() {
  // Long enough for any path the system can hand out, \\?\ forms included.
  std::string path(32768, '\0');
  DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

std::string_view PathSeparators() { return "\\/"; }

std::optional<std::string> UserSettingsFolder() { return std::nullopt; }

std::optional<std::string> SystemSettingsFolderList() { return std::nullopt; }

void ExitProcess(int code) {
  if (FaultBeingReported()) ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
  ::ExitProcess(static_cast<UINT>(code));
}

// The hook waits on a FIFO, which Windows does not have.
void PauseForTest() {}

}  // namespace kelmora::platform
