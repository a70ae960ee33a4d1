// Directory part of a path and the joining of a file name to it, and the
// places where the settings file is looked for. Paths are used whole,
// however long.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora::app {

struct PathRules {
  char separator;                 // between folders; "\\" or "/"
  std::string_view volume_marks;  // end a drive name ("C:"); NUL always does
};
inline constexpr PathRules kWindowsPaths{'\\', ":"};
inline constexpr PathRules kPosixPaths{'/', ""};

// The rules of the OS the program runs on.
const PathRules& NativePathRules();

// The directory part of `path`: empty without any separator; a leading
// separator alone; a drive root with its separator; otherwise the part before
// the last separator, or up to and including the last drive mark.
std::string DirOf(std::string_view path, const PathRules& rules);

// `directory` ready for a file name to be appended: unchanged when empty or
// ending in a separator or drive mark, otherwise with one separator added.
std::string WithTrailingSeparator(std::string directory, const PathRules& rules);

// The folders of system-wide settings in the order they are searched: the
// absolute folders of the colon-separated `list`, empty and relative ones
// passed over; /etc/xdg when the list is unset or empty.
std::vector<std::string> SystemSettingsFolders(std::optional<std::string_view> list);

struct SettingsSearch {
  // The paths to look at, in order; the first that exists is the one.
  std::vector<std::string> candidates;
  // The path named when none exists: the per-user one where there is one.
  std::string reported;
};

// Where `settings_name` is looked for, for the executable at `executable`:
// beside it; then, where the OS has a user's settings folder, kelmora/
// `settings_name` in `user_folder` and then in each folder of
// SystemSettingsFolders(`system_list`).
SettingsSearch SettingsSearchOrder(std::string_view settings_name, std::string_view executable,
                                   const std::optional<std::string>& user_folder,
                                   std::optional<std::string_view> system_list,
                                   const PathRules& rules);

}  // namespace kelmora::app
