// Builds without a now-playing service: the song comes from the player's
// window alone (FindWindowCaption), or is not known.
#include "platform/platform.h"

namespace kelmora::platform {

std::optional<NowPlaying> QueryNowPlaying() { return std::nullopt; }

}  // namespace kelmora::platform
