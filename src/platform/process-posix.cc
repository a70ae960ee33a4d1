// The process on Linux: its start, command line, executable, settings
// folder and end.
#include "platform/platform.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace kelmora::platform {

namespace {

std::vector<std::string> g_arguments;

}  // namespace

void Init(int argc, char** argv) {
  g_arguments.assign(argv, argv + argc);
  // open() takes the lowest free descriptor, so each closed one of 0-2 is
  // filled in turn.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) ::open("/dev/null", O_RDWR);
  }
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

std::optional<std::string> RawCommandLine() { return std::nullopt; }

std::vector<std::string> ArgumentWords() { return g_arguments; }

std::string ExecutablePath() {
  // The kernel's link holds the path with every link already resolved; it
  // is read once a run.
  static const std::string path = [] {
    char resolved[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", resolved, sizeof resolved);
    constexpr std::string_view kDeleted = " (deleted)";
    if (size > 0 && static_cast<std::size_t>(size) < sizeof resolved) {
      std::string link(resolved, static_cast<std::size_t>(size));
      if (!link.ends_with(kDeleted)) return link;
    }
    return g_arguments.empty() ? std::string() : g_arguments[0];
  }();
  return path;
}

std::string_view PathSeparators() { return "/"; }

std::optional<std::string> UserSettingsFolder() {
  // A relative XDG_CONFIG_HOME is no folder to rely on: it is passed over.
  const char* xdg = ::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg);
  const char* home = ::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] != '\0')
    return std::string(found->pw_dir) + "/.config";
  return std::nullopt;
}

std::optional<std::string> SystemSettingsFolderList() {
  const char* list = ::getenv("XDG_CONFIG_DIRS");
  if (list == nullptr) return std::nullopt;
  return std::string(list);
}

void ExitProcess(int code) { ::_exit(code); }

void PauseForTest() {
#ifdef KELMORA_TEST_HOOKS
  const char* fifo = ::getenv("KELMORA_TEST_PAUSE");
  if (fifo == nullptr) return;
  int fd = ::open(fifo, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char sink[64];
  while (::read(fd, sink, sizeof sink) > 0) {
  }
  ::close(fd);
#endif
}

}  // namespace kelmora::platform
