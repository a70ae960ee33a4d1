// Sound on Windows: the tone generator and the system's alert.
#include "platform/platform.h"

#include "platform/win32.h"

#include <algorithm>

namespace kelmora::platform {

void Tone(int hertz, int milliseconds) {
  if (milliseconds <= 0) return;
  // Beep returns at once where no tone can be played; the caller relies on
  // the duration, so make up the rest of it.
  DWORD start = ::GetTickCount();
  ::Beep(static_cast<DWORD>(std::clamp(hertz, 37, 32767)), static_cast<DWORD>(milliseconds));
  DWORD spent = ::GetTickCount() - start;
  if (spent < static_cast<DWORD>(milliseconds)) ::Sleep(static_cast<DWORD>(milliseconds) - spent);
}

void AlertSound() { ::MessageBeep(MB_OK); }

}  // namespace kelmora::platform
