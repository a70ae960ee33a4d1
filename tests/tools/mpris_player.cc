// Test-only Linux program: a media player on the session bus, so that the
// song query has a real player to ask.
//
//   mpris_player NAME STATUS [--title TEXT] [--artist TEXT]... [--silent] [--control]
//
// Owns org.mpris.MediaPlayer2.NAME and serves the properties PlaybackStatus
// (STATUS), Metadata (a track id, and the title and artists given) and
// CanControl, CanPlay, CanPause (true) of org.mpris.MediaPlayer2.Player, and
// Identity (NAME) of org.mpris.MediaPlayer2.
// --silent: takes every call to the player's object and never answers.
// --control: reads commands from standard input, one a line: "title TEXT"
// and "status TEXT" change the song and announce it (PropertiesChanged);
// each is answered with "ok" once the signal is out.
// Prints "ready" once it owns its name, then serves until it is killed (or
// its standard input ends, with --control).
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";

struct Player {
  std::string name;
  std::string status;
  std::optional<std::string> title;
  std::vector<std::string> artists;
  bool silent = false;
  bool control = false;
};

int GetIdentity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error*) {
  return sd_bus_message_append(reply, "s", static_cast<Player*>(userdata)->name.c_str());
}

int GetStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
              sd_bus_error*) {
  return sd_bus_message_append(reply, "s", static_cast<Player*>(userdata)->status.c_str());
}

int AppendArtists(sd_bus_message* reply, const std::vector<std::string>& artists) {
  std::vector<char*> list;
  for (const std::string& artist : artists) list.push_back(const_cast<char*>(artist.c_str()));
  list.push_back(nullptr);
  int r = sd_bus_message_open_container(reply, 'e', "sv");
  if (r >= 0) r = sd_bus_message_append(reply, "s", "xesam:artist");
  if (r >= 0) r = sd_bus_message_open_container(reply, 'v', "as");
  if (r >= 0) r = sd_bus_message_append_strv(reply, list.data());
  if (r >= 0) r = sd_bus_message_close_container(reply);
  if (r >= 0) r = sd_bus_message_close_container(reply);
  return r;
}

int GetMetadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error*) {
  const Player& player = *static_cast<Player*>(userdata);
  int r = sd_bus_message_open_container(reply, 'a', "{sv}");
  if (r >= 0)
    r = sd_bus_message_append(reply, "{sv}", "mpris:trackid", "o", "/org/kelmora/track/1");
  if (r >= 0 && player.title)
    r = sd_bus_message_append(reply, "{sv}", "xesam:title", "s", player.title->c_str());
  if (r >= 0 && !player.artists.empty()) r = AppendArtists(reply, player.artists);
  if (r >= 0) r = sd_bus_message_close_container(reply);
  return r;
}

int GetTrue(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
            sd_bus_error*) {
  return sd_bus_message_append(reply, "b", 1);
}

// Takes the call and leaves the caller waiting.
int SwallowCall(sd_bus_message*, void*, sd_bus_error*) { return 1; }

const sd_bus_vtable kRootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Identity", "s", GetIdentity, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kPlayerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", GetStatus, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Metadata", "a{sv}", GetMetadata, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanControl", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPlay", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPause", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

bool ParseArguments(int argc, char** argv, Player* player) {
  if (argc < 3) return false;
  player->name = argv[1];
  player->status = argv[2];
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--silent") == 0) {
      player->silent = true;
    } else if (std::strcmp(argv[i], "--control") == 0) {
      player->control = true;
    } else if (i + 1 < argc && std::strcmp(argv[i], "--title") == 0) {
      player->title = argv[++i];
    } else if (i + 1 < argc && std::strcmp(argv[i], "--artist") == 0) {
      player->artists.emplace_back(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

int Fail(const char* what, int r) {
  std::fprintf(stderr, "mpris_player: %s: %s\n", what, std::strerror(-r));
  return 1;
}

// Applies one command line; false for a command it does not know.
bool Apply(sd_bus* bus, Player& player, const std::string& line) {
  const char* property = nullptr;
  if (line.rfind("title ", 0) == 0) {
    player.title = line.substr(6);
    property = "Metadata";
  } else if (line.rfind("status ", 0) == 0) {
    player.status = line.substr(7);
    property = "PlaybackStatus";
  } else {
    return false;
  }
  sd_bus_emit_properties_changed(bus, kPath, "org.mpris.MediaPlayer2.Player", property, nullptr);
  sd_bus_flush(bus);
  return true;
}

// Serves the bus and the commands on standard input until the input ends.
int ServeWithControl(sd_bus* bus, Player& player) {
  std::string pending;
  for (;;) {
    int r;
    while ((r = sd_bus_process(bus, nullptr)) > 0) {
    }
    if (r < 0) return Fail("bus lost", r);
    struct pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0},
                            {STDIN_FILENO, POLLIN, 0}};
    poll(fds, 2, -1);
    if (fds[1].revents == 0) continue;
    char buffer[4096];
    ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) return 0;
    pending.append(buffer, static_cast<std::size_t>(got));
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      bool known = Apply(bus, player, pending.substr(0, end));
      pending.erase(0, end + 1);
      std::printf(known ? "ok\n" : "unknown\n");
      std::fflush(stdout);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Player player;
  if (!ParseArguments(argc, argv, &player)) {
    std::fprintf(
        stderr,
        "usage: mpris_player NAME STATUS [--title T] [--artist A]... [--silent] [--control]\n");
    return 2;
  }
  sd_bus* bus = nullptr;
  int r = sd_bus_open_user(&bus);
  if (r < 0) return Fail("no session bus", r);
  if (player.silent) {
    r = sd_bus_add_object(bus, nullptr, kPath, SwallowCall, nullptr);
  } else {
    r = sd_bus_add_object_vtable(bus, nullptr, kPath, "org.mpris.MediaPlayer2", kRootTable,
                                 &player);
    if (r >= 0)
      r = sd_bus_add_object_vtable(bus, nullptr, kPath, "org.mpris.MediaPlayer2.Player",
                                   kPlayerTable, &player);
  }
  if (r < 0) return Fail("cannot serve the player object", r);
  std::string bus_name = "org.mpris.MediaPlayer2." + player.name;
  r = sd_bus_request_name(bus, bus_name.c_str(), 0);
  if (r < 0) return Fail("cannot own the name", r);
  std::printf("ready\n");
  std::fflush(stdout);
  if (player.control) return ServeWithControl(bus, player);
  for (;;) {
    r = sd_bus_process(bus, nullptr);
    if (r < 0) return Fail("bus lost", r);
    if (r == 0) sd_bus_wait(bus, UINT64_MAX);
  }
}
