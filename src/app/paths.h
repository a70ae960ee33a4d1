// Directory part of a path and the joining of a file name to it, for finding
// the settings file beside the executable. Paths are used whole, however
// long.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace kelmora::app
