// The local clock on Windows, and sleeping.
#include "platform/platform.h"

#include "platform/win32.h"

namespace kelmora::platform {

LocalTime ReadLocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

void Sleep(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace kelmora::platform
