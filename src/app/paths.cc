#include "app/paths.h"

#include <algorithm>

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
  if (text[last] == rules.separator && !drive_root) return std::string(text.substr(0, last));
  return std::string(text.substr(0, last + 1));
}

std::string WithTrailingSeparator(std::string directory, const PathRules& rules) {
  if (directory.empty()) return directory;
  char last = directory.back();
  if (last == rules.separator || IsVolumeMark(last, rules)) return directory;
  return directory + rules.separator;
}

std::vector<std::string> SystemSettingsFolders(std::optional<std::string_view> list) {
  if (!list || list->empty()) return {"/etc/xdg"};
  std::vector<std::string> folders;
  std::string_view rest = *list;
  for (;;) {
    std::size_t colon = std::min(rest.find(':'), rest.size());
    // Relative entries would depend on the current folder: passed over.
    if (colon > 0 && rest[0] == '/') folders.emplace_back(rest.substr(0, colon));
    if (colon == rest.size()) break;
    rest.remove_prefix(colon + 1);
  }
  return folders;
}

SettingsSearch SettingsSearchOrder(std::string_view settings_name, std::string_view executable,
                                   const std::optional<std::string>& user_folder,
                                   std::optional<std::string_view> system_list,
                                   const PathRules& rules) {
  SettingsSearch search;
  search.candidates.push_back(WithTrailingSeparator(DirOf(executable, rules), rules) +
                              std::string(settings_name));
  search.reported = search.candidates.front();
  if (!user_folder) return search;
  auto in_folder = [&](const std::string& folder) {
    return WithTrailingSeparator(folder, rules) + "kelmora" + rules.separator +
           std::string(settings_name);
  };
  search.reported = in_folder(*user_folder);
  search.candidates.push_back(search.reported);
  for (const std::string& folder : SystemSettingsFolders(system_list))
    search.candidates.push_back(in_folder(folder));
  return search;
}

}  // namespace kelmora::app
