#include "app/paths.h"

#include "platform/platform.h"

namespace kelmora::app {
namespace {

bool IsVolumeMark(char c, const PathRules& rules) {
  return c == '\0' || rules.volume_marks.find(c) != std::string_view::npos;
}

}  // namespace

const PathRules& NativePathRules() {
  return platform::PathSeparators().front() == '\\' ? kWindowsPaths : kPosixPaths;
}

std::string DirOf(std::string_view text, const PathRules& rules) {
  std::size_t last = text.size();
  for (std::size_t i = text.size(); i-- > 0;) {
    if (text[i] == rules.separator || IsVolumeMark(text[i], rules)) {
      last = i;
      break;
    }
  }
  if (last == text.size()) return {};
  if (last == 0) return std::string(text.substr(0, 1));
  bool drive_root = text[last] == rules.separator && IsVolumeMark(text[last - 1], rules) &&
                    text[last - 1] != '\0';
  if (text[last] == rules.separator && !drive_root)
    return std::string(text.substr(0, last));
  return std::string(text.substr(0, last + 1));
}

std::string WithTrailingSeparator(std::string directory, const PathRules& rules) {
  if (directory.empty()) return directory;
  char last = directory.back();
  if (last == rules.separator || IsVolumeMark(last, rules)) return directory;
  return directory + rules.separator;
}

}  // namespace kelmora::app
