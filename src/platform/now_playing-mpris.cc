// The song on Linux: asked of the media players on the user's session bus
// through their standard remote-control interface (MPRIS 2), with sd-bus.
//
// libsystemd is loaded only when a session bus can exist: linked in, it would
// add its libraries' start-up to every run, bus or not.
#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/platform.h"
#include "platform/song_watch.h"

namespace kelmora::platform {
namespace {

using Clock = std::chrono::steady_clock;

// The whole query, from loading the library to the last reply.
constexpr std::chrono::milliseconds kQueryBudget{250};
constexpr std::string_view kPlayerNamePrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPlayerPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

// The sd-bus calls this file makes, bound at run time.
struct SdBus {
  decltype(&::sd_bus_open_user) open_user;
  decltype(&::sd_bus_close_unref) close_unref;
  decltype(&::sd_bus_call_method_async) call_method_async;
  decltype(&::sd_bus_process) process;
  decltype(&::sd_bus_wait) wait;
  decltype(&::sd_bus_message_ref) message_ref;
  decltype(&::sd_bus_message_unref) message_unref;
  decltype(&::sd_bus_message_is_method_error) is_method_error;
  decltype(&::sd_bus_message_enter_container) enter_container;
  decltype(&::sd_bus_message_exit_container) exit_container;
  decltype(&::sd_bus_message_read_basic) read_basic;
  decltype(&::sd_bus_message_skip) skip;
  decltype(&::sd_bus_message_peek_type) peek_type;
};

// sd_bus_open_user's own rule: the address in DBUS_SESSION_BUS_ADDRESS, or
// else the socket $XDG_RUNTIME_DIR/bus.
bool SessionBusCanExist() {
  if (::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr) return true;
  const char* runtime_dir = ::getenv("XDG_RUNTIME_DIR");
  if (runtime_dir == nullptr || *runtime_dir == '\0') return false;
  return ::access((std::string(runtime_dir) + "/bus").c_str(), F_OK) == 0;
}

template <typename>
struct MemberOf;
template <typename Class, typename Type>
struct MemberOf<Type Class::*> {
  using Api = Class;
  using Function = Type;
};

// Puts the address of a symbol into its member, as the member's own type.
template <auto member>
void Store(typename MemberOf<decltype(member)>::Api* api, void* symbol) {
  api->*member = reinterpret_cast<typename MemberOf<decltype(member)>::Function>(symbol);
}

// A symbol of libsystemd and the member of Api that holds it.
template <typename Api>
struct Symbol {
  const char* name;
  void (*store)(Api*, void*);
};

// False, with some members left unset, when a symbol is missing.
template <typename Api, std::size_t count>
bool BindAll(void* library, const Symbol<Api> (&symbols)[count], Api* api) {
  for (const Symbol<Api>& symbol : symbols) {
    void* address = ::dlsym(library, symbol.name);
    if (address == nullptr) return false;
    symbol.store(api, address);
  }
  return true;
}

constexpr Symbol<SdBus> kSdBusSymbols[] = {
    {"sd_bus_open_user", Store<&SdBus::open_user>},
    {"sd_bus_close_unref", Store<&SdBus::close_unref>},
    {"sd_bus_call_method_async", Store<&SdBus::call_method_async>},
    {"sd_bus_process", Store<&SdBus::process>},
    {"sd_bus_wait", Store<&SdBus::wait>},
    {"sd_bus_message_ref", Store<&SdBus::message_ref>},
    {"sd_bus_message_unref", Store<&SdBus::message_unref>},
    {"sd_bus_message_is_method_error", Store<&SdBus::is_method_error>},
    {"sd_bus_message_enter_container", Store<&SdBus::enter_container>},
    {"sd_bus_message_exit_container", Store<&SdBus::exit_container>},
    {"sd_bus_message_read_basic", Store<&SdBus::read_basic>},
    {"sd_bus_message_skip", Store<&SdBus::skip>},
    {"sd_bus_message_peek_type", Store<&SdBus::peek_type>},
};

// Null when libsystemd is not installed. Stays loaded for the rest of the
// run: the library keeps state of its own that must not be unmapped.
const SdBus* LoadSdBus() {
  static SdBus api;
  void* library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  return BindAll(library, kSdBusSymbols, &api) ? &api : nullptr;
}

// The answer to one call, kept until it is read. Never moved: sd-bus holds
// its address until the answer arrives or the bus is closed.
struct Reply {
  const SdBus* sd = nullptr;
  sd_bus_message* message = nullptr;
  bool pending = false;  // the call went out and its answer has not come

  Reply() = default;
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  ~Reply() {
    if (message != nullptr) sd->message_unref(message);
  }
  // An error answer counts as no answer.
  bool Answered() const { return message != nullptr && !sd->is_method_error(message, nullptr); }
};

int KeepReply(sd_bus_message* message, void* userdata, sd_bus_error* /*error*/) {
  auto* reply = static_cast<Reply*>(userdata);
  reply->message = reply->sd->message_ref(message);
  reply->pending = false;
  return 0;
}

bool Call(const SdBus& sd, sd_bus* bus, const char* destination, const char* path,
          const char* interface, const char* method, Reply* reply, const char* argument = nullptr) {
  reply->sd = &sd;
  int result = argument == nullptr
                   ? sd.call_method_async(bus, nullptr, destination, path, interface, method,
                                          KeepReply, reply, "")
                   : sd.call_method_async(bus, nullptr, destination, path, interface, method,
                                          KeepReply, reply, "s", argument);
  reply->pending = result >= 0;
  return reply->pending;
}

// Runs the bus until no reply is pending or the deadline has passed; a reply
// still missing then stays empty.
void WaitForReplies(const SdBus& sd, sd_bus* bus, const Reply* replies, std::size_t count,
                    Clock::time_point deadline) {
  auto pending = [&] {
    return std::any_of(replies, replies + count, [](const Reply& r) { return r.pending; });
  };
  while (pending()) {
    Clock::time_point now = Clock::now();
    if (now >= deadline) return;
    int processed = sd.process(bus, nullptr);
    if (processed < 0) return;
    if (processed == 0) {
      auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
      int woken = sd.wait(bus, static_cast<std::uint64_t>(left.count()) + 1);
      if (woken < 0 && woken != -EINTR) return;
    }
  }
}

// Appends the string at the reader's place; 0 at the end of an array.
int ReadString(const SdBus& sd, sd_bus_message* message, std::vector<std::string>* texts) {
  const char* text = nullptr;
  int result = sd.read_basic(message, 's', &text);
  if (result > 0) texts->emplace_back(text);
  return result;
}

// Appends the strings of an "as" array.
int ReadStrings(const SdBus& sd, sd_bus_message* message, std::vector<std::string>* texts) {
  int result = sd.enter_container(message, 'a', "s");
  if (result <= 0) return result < 0 ? result : -EBADMSG;
  while ((result = ReadString(sd, message, texts)) > 0) {
  }
  return result < 0 ? result : sd.exit_container(message);
}

// A variant holding a string or an array of strings appends them (players
// differ in which they send); a variant of any other type is skipped.
int ReadVariantStrings(const SdBus& sd, sd_bus_message* message, std::vector<std::string>* texts) {
  char type = 0;
  const char* contents = nullptr;
  int result = sd.peek_type(message, &type, &contents);
  if (result <= 0) return result < 0 ? result : -EBADMSG;
  std::string_view signature = contents != nullptr ? contents : "";
  if (signature != "s" && signature != "as") return sd.skip(message, "v");
  result = sd.enter_container(message, 'v', contents);
  if (result <= 0) return result < 0 ? result : -EBADMSG;
  result = signature == "s" ? ReadString(sd, message, texts) : ReadStrings(sd, message, texts);
  return result < 0 ? result : sd.exit_container(message);
}

// Calls read(key) for each entry of an "a{sv}" dictionary; read consumes the
// variant.
template <typename ReadValue>
int ReadDictionary(const SdBus& sd, sd_bus_message* message, ReadValue read) {
  int result = sd.enter_container(message, 'a', "{sv}");
  if (result <= 0) return result < 0 ? result : -EBADMSG;
  while ((result = sd.enter_container(message, 'e', "sv")) > 0) {
    const char* key = nullptr;
    if ((result = sd.read_basic(message, 's', &key)) <= 0) return -EBADMSG;
    if ((result = read(std::string_view(key))) < 0) return result;
    if ((result = sd.exit_container(message)) < 0) return result;
  }
  return result < 0 ? result : sd.exit_container(message);
}

struct Player {
  int rank = 0;  // Playing 3, Paused 2, Stopped 1, anything else 0
  NowPlaying song;
};

int StatusRank(const std::vector<std::string>& status) {
  if (status.size() != 1) return 0;
  if (status[0] == "Playing") return 3;
  if (status[0] == "Paused") return 2;
  if (status[0] == "Stopped") return 1;
  return 0;
}

int ReadMetadata(const SdBus& sd, sd_bus_message* message, NowPlaying* song) {
  int result = sd.enter_container(message, 'v', "a{sv}");
  if (result <= 0) return result < 0 ? sd.skip(message, "v") : -EBADMSG;
  std::vector<std::string> titles;
  result = ReadDictionary(sd, message, [&](std::string_view key) {
    if (key == "xesam:title") return ReadVariantStrings(sd, message, &titles);
    if (key == "xesam:artist") return ReadVariantStrings(sd, message, &song->artists);
    return sd.skip(message, "v");
  });
  if (result < 0) return result;
  if (!titles.empty()) song->title = titles[0];
  return sd.exit_container(message);
}

// The player's state from its answer to GetAll; nullopt for a malformed
// answer or a song without a title.
std::optional<Player> ReadPlayer(const SdBus& sd, sd_bus_message* message) {
  Player player;
  std::vector<std::string> status;
  int result = ReadDictionary(sd, message, [&](std::string_view key) {
    if (key == "PlaybackStatus") return ReadVariantStrings(sd, message, &status);
    if (key == "Metadata") return ReadMetadata(sd, message, &player.song);
    return sd.skip(message, "v");
  });
  if (result < 0 || player.song.title.empty()) return std::nullopt;
  std::erase(player.song.artists, std::string());
  player.rank = StatusRank(status);
  return player;
}

// The bus names of the players, in byte order.
std::vector<std::string> PlayerNames(const SdBus& sd, sd_bus* bus, Clock::time_point deadline) {
  Reply reply;
  if (!Call(sd, bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "ListNames", &reply))
    return {};
  WaitForReplies(sd, bus, &reply, 1, deadline);
  std::vector<std::string> names;
  if (!reply.Answered() || ReadStrings(sd, reply.message, &names) < 0) return {};
  std::erase_if(names,
                [](const std::string& name) { return !name.starts_with(kPlayerNamePrefix); });
  std::sort(names.begin(), names.end());
  return names;
}

// All players are asked at once, so that a silent one costs no more than
// the time left, and the others still count.
std::optional<NowPlaying> AskPlayers(const SdBus& sd, sd_bus* bus, Clock::time_point deadline) {
  std::vector<std::string> names = PlayerNames(sd, bus, deadline);
  std::vector<Reply> replies(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    Call(sd, bus, names[i].c_str(), kPlayerPath, "org.freedesktop.DBus.Properties", "GetAll",
         &replies[i], kPlayerInterface);
  WaitForReplies(sd, bus, replies.data(), replies.size(), deadline);

  std::optional<Player> best;
  for (const Reply& reply : replies) {
    if (!reply.Answered()) continue;
    std::optional<Player> player = ReadPlayer(sd, reply.message);
    // Strictly greater: among equals the first name in byte order stays.
    if (player && (!best || player->rank > best->rank)) best = std::move(player);
  }
  if (!best) return std::nullopt;
  return std::move(best->song);
}

}  // namespace

std::optional<NowPlaying> QueryNowPlaying() {
  Clock::time_point deadline = Clock::now() + kQueryBudget;
  if (!SessionBusCanExist()) return std::nullopt;
  const SdBus* sd = LoadSdBus();
  if (sd == nullptr) return std::nullopt;
  sd_bus* bus = nullptr;
  if (sd->open_user(&bus) < 0) return std::nullopt;
  std::optional<NowPlaying> song = AskPlayers(*sd, bus, deadline);
  sd->close_unref(bus);
  return song;
}

}  // namespace kelmora::platform

// ------------------------------------------------------- watching the song

namespace kelmora::platform {
namespace {

// The sd-bus calls of a lasting connection, bound apart from the query's:
// an older libsystemd without them still answers queries.
struct SdBusWatch {
  decltype(&::sd_bus_open_user) open_user;
  decltype(&::sd_bus_close_unref) close_unref;
  decltype(&::sd_bus_add_match_async) add_match_async;
  decltype(&::sd_bus_get_fd) get_fd;
  decltype(&::sd_bus_get_events) get_events;
  decltype(&::sd_bus_get_timeout) get_timeout;
  decltype(&::sd_bus_process) process;
  decltype(&::sd_bus_is_open) is_open;
  decltype(&::sd_bus_is_ready) is_ready;
};

constexpr Symbol<SdBusWatch> kSdBusWatchSymbols[] = {
    {"sd_bus_open_user", Store<&SdBusWatch::open_user>},
    {"sd_bus_close_unref", Store<&SdBusWatch::close_unref>},
    {"sd_bus_add_match_async", Store<&SdBusWatch::add_match_async>},
    {"sd_bus_get_fd", Store<&SdBusWatch::get_fd>},
    {"sd_bus_get_events", Store<&SdBusWatch::get_events>},
    {"sd_bus_get_timeout", Store<&SdBusWatch::get_timeout>},
    {"sd_bus_process", Store<&SdBusWatch::process>},
    {"sd_bus_is_open", Store<&SdBusWatch::is_open>},
    {"sd_bus_is_ready", Store<&SdBusWatch::is_ready>},
};

const SdBusWatch* LoadSdBusWatch() {
  static SdBusWatch api;
  static bool bound = [] {
    void* library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
    return library != nullptr && BindAll(library, kSdBusWatchSymbols, &api);
  }();
  return bound ? &api : nullptr;
}

// A player's properties, and players coming and going (their names gaining
// or losing an owner). The match calls go out without waiting: a bus that
// takes the connection but never answers costs nothing.
constexpr const char* kMatches[] = {
    "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',"
    "path='/org/mpris/MediaPlayer2'",
    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
    "member='NameOwnerChanged',arg0namespace='org.mpris.MediaPlayer2'",
};

int NoteSignal(sd_bus_message* /*message*/, void* userdata, sd_bus_error* /*error*/) {
  *static_cast<bool*>(userdata) = true;
  return 0;
}

}  // namespace

struct SongWatch::Connection {
  const SdBusWatch* sd = nullptr;
  sd_bus* bus = nullptr;
  bool signalled = false;
  // The bus has answered the connection's greeting: it is really there (a
  // socket of a daemon that is gone, or of another one, never gets so far).
  bool ready = false;
};

SongWatch::SongWatch() = default;

SongWatch::~SongWatch() {
  if (connection_ != nullptr) connection_->sd->close_unref(connection_->bus);
  delete connection_;
}

void SongWatch::Connect() {
  if (connection_ != nullptr || !SessionBusCanExist()) return;
  const SdBusWatch* sd = LoadSdBusWatch();
  if (sd == nullptr) return;
  auto* connection = new Connection{sd, nullptr, false, false};
  bool made = sd->open_user(&connection->bus) >= 0;
  for (const char* match : kMatches)
    made = made && sd->add_match_async(connection->bus, nullptr, match, NoteSignal, nullptr,
                                       &connection->signalled) >= 0;
  if (!made) {
    if (connection->bus != nullptr) sd->close_unref(connection->bus);
    delete connection;
    return;
  }
  connection_ = connection;
}

void SongWatch::AwaitReady(int ms) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (connection_ != nullptr && !connection_->ready) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    struct pollfd watched = {fd(), events(), 0};
    ::poll(&watched, 1, static_cast<int>(left.count()) + 1);
    Process();
  }
}

bool SongWatch::connected() const { return connection_ != nullptr; }

int SongWatch::fd() const {
  return connection_ == nullptr ? -1 : connection_->sd->get_fd(connection_->bus);
}

short SongWatch::events() const {
  if (connection_ == nullptr) return 0;
  int events = connection_->sd->get_events(connection_->bus);
  return static_cast<short>(events < 0 ? POLLIN : events);
}

int SongWatch::timeout_ms() const {
  if (connection_ == nullptr) return -1;
  std::uint64_t until = 0;  // CLOCK_MONOTONIC microseconds; UINT64_MAX for none
  if (connection_->sd->get_timeout(connection_->bus, &until) <= 0 || until == UINT64_MAX) return -1;
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t now_us = static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
                         static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
  if (until <= now_us) return 0;
  return static_cast<int>(std::min<std::uint64_t>((until - now_us) / 1000u + 1, 60000u));
}

bool SongWatch::Process() {
  if (connection_ == nullptr) return false;
  const SdBusWatch& sd = *connection_->sd;
  int processed = 0;
  while ((processed = sd.process(connection_->bus, nullptr)) > 0) {
  }
  bool changed = connection_->signalled;
  connection_->signalled = false;
  if (processed < 0 || sd.is_open(connection_->bus) <= 0) {
    // The song is asked again however far the connection had come; only
    // a ready one counts as a bus that went away.
    lost_ = lost_ || connection_->ready;
    changed = true;
    sd.close_unref(connection_->bus);
    delete connection_;
    connection_ = nullptr;
    return changed;
  }
  // From here on no change is missed; one made before is asked for.
  if (!connection_->ready && sd.is_ready(connection_->bus) > 0) {
    connection_->ready = true;
    changed = true;
    lost_ = false;
  }
  return changed;
}

}  // namespace kelmora::platform
