// Waiting for change on Linux: signals of the players on the session bus,
// inotify on the folders of the watched files, the clock, and the stop
// requests through a signalfd.
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/posix.h"
#include "platform/song_watch.h"

namespace kelmora::platform {
namespace {

constexpr int kRetryMs = 1000;
// What a watched file's folder reports: a file written and closed, moved
// in or out, made or removed. Editors that save by replacing, and a file
// deleted and made again, are all seen.
constexpr std::uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                        IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

std::int64_t MonotonicMs() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Milliseconds until the start of the `seconds`-th wall-clock second after
// the current one; local seconds begin with UTC seconds.
int MsToSecondBoundary(int seconds) {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::int64_t ms = static_cast<std::int64_t>(seconds) * 1000 - now.tv_nsec / 1000000;
  // A day at most: the caller asks again, on a fresh reading of the clock.
  return static_cast<int>(std::clamp<std::int64_t>(ms, 0, 86400000));
}

std::pair<std::string, std::string> FolderAndName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::int64_t TestClockSeconds() {
  LocalTime time = ReadLocalTime();
  struct tm fields = {};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  return static_cast<std::int64_t>(::timegm(&fields));
}

}  // namespace

struct ChangeWaiter::State {
  int signals = -1;
  int inotify = -1;
  // Watched folder descriptors and the names that count in each.
  std::map<int, std::set<std::string>> names;
  std::optional<std::string> test_clock;
  SongWatch song;
  std::int64_t last_try_ms = 0;

  // `counts`: events on the file wake with kWakeFiles.
  void AddWatch(const std::string& path, bool counts);
  unsigned ReadFolderEvents(std::optional<std::int64_t> clock_due);
  unsigned RunSong(bool readable);
  int PollTimeout(std::optional<std::int64_t> clock_deadline_ms) const;
};

ChangeWaiter::ChangeWaiter() : state_(new State) {
  sigset_t stops;
  ::sigemptyset(&stops);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaddset(&stops, signal_number);
  // An ignored signal is dropped before it could be read: SIGINT, ignored
  // for a single run, is taken back.
  ::signal(SIGINT, SIG_DFL);
  ::pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  state_->signals = ::signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
  state_->inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  state_->test_clock = TestClockPath();
  state_->song.Connect();
  // As long as a song query may take: a bus that does not answer costs no
  // more.
  state_->song.AwaitReady(250);
  state_->last_try_ms = MonotonicMs();
}

ChangeWaiter::~ChangeWaiter() {
  if (state_->signals >= 0) ::close(state_->signals);
  if (state_->inotify >= 0) ::close(state_->inotify);
  delete state_;
}

void ChangeWaiter::State::AddWatch(const std::string& path, bool counts) {
  auto [folder, name] = FolderAndName(path);
  // A folder watched already keeps its descriptor, and the events queued
  // on it.
  int watch = ::inotify_add_watch(inotify, folder.c_str(), kFolderEvents);
  if (watch < 0) return;
  std::set<std::string>& counted = names[watch];
  if (counts) counted.insert(name);
}

void ChangeWaiter::WatchFiles(const std::vector<std::string>& paths) {
  std::map<int, std::set<std::string>> before = std::move(state_->names);
  state_->names.clear();
  for (const std::string& path : paths) state_->AddWatch(path, true);
  if (state_->test_clock) state_->AddWatch(*state_->test_clock, false);
  for (const auto& [watch, unused] : before)
    if (state_->names.count(watch) == 0) ::inotify_rm_watch(state_->inotify, watch);
}

// kWakeFiles for an event on a watched name; with the test clock,
// kWakeClock once it has reached `clock_due`.
unsigned ChangeWaiter::State::ReadFolderEvents(std::optional<std::int64_t> clock_due) {
  unsigned wakes = 0;
  alignas(struct inotify_event) char buffer[16 * (sizeof(struct inotify_event) + NAME_MAX + 1)];
  std::string clock_name = test_clock ? FolderAndName(*test_clock).second : std::string();
  ssize_t got;
  while ((got = ::read(inotify, buffer, sizeof buffer)) > 0) {
    for (char* at = buffer; at < buffer + got;) {
      const auto* event = reinterpret_cast<const struct inotify_event*>(at);
      at += sizeof(struct inotify_event) + event->len;
      std::string name = event->len > 0 ? event->name : "";
      auto folder = names.find(event->wd);
      if (folder == names.end()) continue;
      if (event->len == 0 || folder->second.count(name) > 0) wakes |= kWakeFiles;
      if (test_clock && name == clock_name && clock_due && TestClockSeconds() >= *clock_due)
        wakes |= kWakeClock;
    }
  }
  return wakes;
}

unsigned ChangeWaiter::State::RunSong(bool readable) {
  unsigned wakes = 0;
  if (song.connected() && (readable || song.timeout_ms() == 0) && song.Process())
    wakes |= kWakeSong;
  if (!song.connected() && MonotonicMs() - last_try_ms >= kRetryMs) {
    last_try_ms = MonotonicMs();
    song.Connect();
  }
  return wakes;
}

int ChangeWaiter::State::PollTimeout(std::optional<std::int64_t> clock_deadline_ms) const {
  int timeout = -1;
  auto sooner = [&timeout](int ms) {
    if (ms >= 0 && (timeout < 0 || ms < timeout)) timeout = ms;
  };
  if (clock_deadline_ms)
    sooner(static_cast<int>(std::max<std::int64_t>(0, *clock_deadline_ms - MonotonicMs())));
  if (song.connected())
    sooner(song.timeout_ms());
  else
    sooner(static_cast<int>(std::max<std::int64_t>(0, last_try_ms + kRetryMs - MonotonicMs())));
  return timeout;
}

unsigned ChangeWaiter::Wait(int seconds) {
  State& state = *state_;
  // The real clock wakes by a timeout; the test clock by its file.
  std::optional<std::int64_t> deadline_ms, clock_due;
  if (seconds > 0 && state.test_clock) clock_due = TestClockSeconds() + seconds;
  if (seconds > 0 && !state.test_clock) deadline_ms = MonotonicMs() + MsToSecondBoundary(seconds);
  for (;;) {
    struct pollfd fds[3] = {{state.signals, POLLIN, 0},
                            {state.inotify, POLLIN, 0},
                            {state.song.fd(), state.song.events(), 0}};
    int ready = ::poll(fds, 3, state.PollTimeout(deadline_ms));
    if (ready < 0 && errno != EINTR) return kWakeStop;
    unsigned wakes = 0;
    struct signalfd_siginfo request;
    if ((fds[0].revents & POLLIN) && ::read(state.signals, &request, sizeof request) > 0)
      wakes |= kWakeStop;
    if (fds[1].revents & POLLIN) wakes |= state.ReadFolderEvents(clock_due);
    wakes |= state.RunSong(fds[2].revents != 0);
    if (deadline_ms && MonotonicMs() >= *deadline_ms) wakes |= kWakeClock;
    if (wakes != 0) return wakes;
  }
}

bool ChangeWaiter::SongServiceReachable() const { return !state_->song.lost(); }

}  // namespace kelmora::platform
