// Inside the platform layer only: the connection that tells the POSIX
// ChangeWaiter when the song may have changed. now_playing-mpris.cc keeps
// it on the session bus; now_playing-none.cc has none.
#pragma once

#include <cstdint>

namespace kelmora::platform {

class SongWatch {
 public:
  SongWatch();
  ~SongWatch();
  SongWatch(const SongWatch&) = delete;
  SongWatch& operator=(const SongWatch&) = delete;

  // Connects when not connected; true when it has just connected, which
  // changes the song as much as a signal does.
  bool Connect();
  bool connected() const;
  // Whether a connection was ever made: a bus that never was cannot be lost.
  bool ever_connected() const { return ever_connected_; }
  // What to poll while connected: the descriptor (-1 for none), its poll
  // events, and the milliseconds until the connection wants to be run
  // anyway (-1 for never).
  int fd() const;
  short events() const;
  int timeout_ms() const;
  // Runs the connection; true when a player's properties or a player's bus
  // name changed, or the connection was lost (it is closed then).
  bool Process();

 private:
  struct Connection;
  Connection* connection_ = nullptr;
  bool ever_connected_ = false;
};

}  // namespace kelmora::platform
