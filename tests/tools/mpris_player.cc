// Test-only Linux program: a media player on the session bus, so that the
// song query has a real player to ask.
//
//   mpris_player NAME STATUS [--title TEXT] [--artist TEXT]... [--silent]
//
// Owns org.mpris.MediaPlayer2.NAME and serves the properties PlaybackStatus
// (STATUS), Metadata (a track id, and the title and artists given) and
// CanControl, CanPlay, CanPause (true) of org.mpris.MediaPlayer2.Player, and
// Identity (NAME) of org.mpris.MediaPlayer2.
// --silent: takes every call to the player's object and never answers.
// Prints "ready" once it owns its name, then serves until it is killed.
#include <systemd/sd-bus.h>

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
};

int GetIdentity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error*) {
  return sd_bus_message_append(reply, "s", static_cast<Player*>(userdata)->name.c_str());
}

int GetStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
              void* userdata, sd_bus_error*) {
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
    SD_BUS_PROPERTY("PlaybackStatus", "s", GetStatus, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Metadata", "a{sv}", GetMetadata, 0, SD_BUS_VTABLE_PROPERTY_CONST),
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

}  // namespace

int main(int argc, char** argv) {
  Player player;
  if (!ParseArguments(argc, argv, &player)) {
    std::fprintf(stderr,
                 "usage: mpris_player NAME STATUS [--title T] [--artist A]... [--silent]\n");
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
  for (;;) {
    r = sd_bus_process(bus, nullptr);
    if (r < 0) return Fail("bus lost", r);
    if (r == 0) sd_bus_wait(bus, UINT64_MAX);
  }
}
