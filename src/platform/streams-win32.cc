// The standard streams on Windows: bytes out, all of standard input in.
#include "platform/platform.h"

#include "platform/win32.h"

namespace kelmora::platform {

namespace {

bool WriteAll(HANDLE handle, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD done = 0;
    if (!::WriteFile(handle, data, ChunkSize(size), &done, nullptr) || done == 0) return false;
    data += done;
    size -= done;
  }
  return true;
}

}  // namespace

bool WriteStandardOutput(const char* data, std::size_t size) {
  return WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), data, size);
}

bool WriteStandardError(const char* data, std::size_t size) {
  return WriteAll(::GetStdHandle(STD_ERROR_HANDLE), data, size);
}

ErrorCode ReadStandardInput(std::string* text) {
  text->clear();
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(input, buffer, sizeof buffer, &got, nullptr)) {
      // The writer closing its end of a pipe is the end of the input.
      ErrorCode error = LastError();
      return error == ERROR_BROKEN_PIPE ? 0 : error;
    }
    if (got == 0) return 0;
    text->append(buffer, got);
  }
}

}  // namespace kelmora::platform
