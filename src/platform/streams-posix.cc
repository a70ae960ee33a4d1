// The standard streams on Linux: bytes out, all of standard input in.
#include "platform/platform.h"

#include <unistd.h>

#include <cerrno>

#include "platform/posix.h"

namespace kelmora::platform {

namespace {
bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}
}  // namespace

bool WriteStandardOutput(const char* data, std::size_t size) {
  return WriteAll(STDOUT_FILENO, data, size);
}

bool WriteStandardError(const char* data, std::size_t size) {
  return WriteAll(STDERR_FILENO, data, size);
}

ErrorCode ReadStandardInput(std::string* text) {
  text->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    text->append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace kelmora::platform
