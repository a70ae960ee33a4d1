// The player window on Windows: the caption of a top-level window.
#include "platform/platform.h"

#include "platform/win32.h"

namespace kelmora::platform {

std::optional<std::string> FindWindowCaption(const std::string& window_class) {
  HWND window = ::FindWindowA(window_class.c_str(), nullptr);
  if (window == nullptr) return std::nullopt;
  char caption[256];
  int length = ::GetWindowTextA(window, caption, sizeof caption);
  if (length <= 0) return std::string();
  ::CharToOemBuffA(caption, caption, static_cast<DWORD>(length));
  return std::string(caption, static_cast<std::size_t>(length));
}

}  // namespace kelmora::platform
