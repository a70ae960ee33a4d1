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

  // Starts connecting when not connected; Process tells when it is ready.
  void Connect();
  // Runs a new connection until it is ready or `ms` have passed, so that a
  // bus that is there counts as reached from the start.
  void AwaitReady(int ms);
  bool connected() const;
  // A connection that was ready has been lost, and none is ready since.
  bool lost() const { return lost_; }
  // What to poll while connected: the descriptor (-1 for none), its poll
  // events, and the milliseconds until the connection wants to be run
  // anyway (-1 for never).
  int fd() const;
  short events() const;
  int timeout_ms() const;
  // Runs the connection; true when a player's properties or a player's bus
  // name changed, when the connection has become ready (its signals come
  // from then on; the bus may be back), or when it was lost (it is closed
  // then).
  bool Process();

 private:
  struct Connection;
  Connection* connection_ = nullptr;
  bool lost_ = false;
};

}  // namespace kelmora::platform
