// Builds without a now-playing service: the song comes from the player's
// window alone (FindWindowCaption), or is not known.
#include "platform/platform.h"

namespace kelmora::platform {

std::optional<NowPlaying> QueryNowPlaying() { return std::nullopt; }

}  // namespace kelmora::platform

#include "platform/song_watch.h"

namespace kelmora::platform {

// No service to connect to: the song never changes on its own.
SongWatch::SongWatch() = default;
SongWatch::~SongWatch() = default;
void SongWatch::Connect() {}
void SongWatch::AwaitReady(int) {}
bool SongWatch::connected() const { return false; }
int SongWatch::fd() const { return -1; }
short SongWatch::events() const { return 0; }
int SongWatch::timeout_ms() const { return -1; }
bool SongWatch::Process() { return false; }

}  // namespace kelmora::platform
