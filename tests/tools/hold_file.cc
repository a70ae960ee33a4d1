// Test-only: holds a file open without sharing it, runs a program from the
// folder of this tool, and exits with that program's exit code. The program
// inherits the standard handles, so its output reaches the caller.
//
//   hold_file FILE PROGRAM [ARGS...]
//
// Exit codes of its own: 100 usage, 101 FILE could not be opened, 102
// PROGRAM could not be started.
#include <windows.h>

#include <string>

namespace {

void Inheritable(DWORD which) {
  HANDLE handle = ::GetStdHandle(which);
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
    ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 100;
  HANDLE held = ::CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 101;

  std::string command;
  for (int i = 2; i < argc; ++i) {
    if (i > 2) command += ' ';
    command += '"';
    command += argv[i];
    command += '"';
  }
  Inheritable(STD_INPUT_HANDLE);
  Inheritable(STD_OUTPUT_HANDLE);
  Inheritable(STD_ERROR_HANDLE);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    ::CloseHandle(held);
    return 102;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(held);
  return static_cast<int>(code);
}
