// Sound on Linux: no tone generator, the terminal's bell.
#include "platform/platform.h"

#include <unistd.h>

namespace kelmora::platform {

// No tone generator to drive: the caller relies only on the duration.
void Tone(int /*hertz*/, int milliseconds) { Sleep(milliseconds); }

void AlertSound() {
  // The terminal's own bell.
  if (::isatty(STDOUT_FILENO)) WriteStandardOutput("\a", 1);
}

}  // namespace kelmora::platform
