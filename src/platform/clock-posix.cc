// The local clock on Linux (a file's clock in test builds), and sleeping.
#include "platform/platform.h"

#include <stdlib.h>
#include <time.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix.h"

namespace kelmora::platform {

std::optional<std::string> TestClockPath() {
#ifdef KELMORA_TEST_HOOKS
  if (const char* path = ::getenv("KELMORA_TEST_CLOCK")) return std::string(path);
#endif
  return std::nullopt;
}

namespace {

std::optional<LocalTime> ReadTestClock(const std::string& path) {
  LocalTime time{};
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return std::nullopt;
  int fields = std::fscanf(file, "%d %d %d %d %d %d", &time.year, &time.month, &time.day,
                           &time.hour, &time.minute, &time.second);
  std::fclose(file);
  if (fields != 6) return std::nullopt;
  return time;
}

}  // namespace

LocalTime ReadLocalTime() {
  if (std::optional<std::string> clock = TestClockPath()) {
    // A clock file caught while it is rewritten keeps the last reading.
    static LocalTime last{};
    if (std::optional<LocalTime> time = ReadTestClock(*clock)) last = *time;
    return last;
  }
  time_t now = ::time(nullptr);
  struct tm local;
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

void Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  struct timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

}  // namespace kelmora::platform
