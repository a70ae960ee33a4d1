// The player window on Linux: there is none to look at.
#include "platform/platform.h"

namespace kelmora::platform {

// No player window to look at on this platform.
std::optional<std::string> FindWindowCaption(const std::string& /*class*/) { return std::nullopt; }

}  // namespace kelmora::platform
