// Directory part of a path and the joining of a file name to it, for finding
// the settings file beside the executable.
#pragma once

#include <string_view>

#include "text/bounded_string.h"

namespace kelmora::app {

struct PathRules {
  char separator;                 // between folders; the one AddBackslash adds
  std::string_view volume_marks;  // end a drive name ("C:"); NUL always does
};
inline constexpr PathRules kWindowsPaths{'\\', ":"};
inline constexpr PathRules kPosixPaths{'/', ""};

// The rules of the OS the program runs on.
const PathRules& NativePathRules();

// The directory part of `path`: empty without any separator; a leading
// separator alone; a drive root with its separator; otherwise the part before
// the last separator, or up to and including the last drive mark.
text::ShortString DirOf(const text::ShortString& path, const PathRules& rules);

// `directory` ready for a file name to be appended: unchanged when empty or
// ending in a separator or drive mark, otherwise with one separator added.
text::ShortString AddBackslash(const text::ShortString& directory,
                               const PathRules& rules);

}  // namespace kelmora::app
