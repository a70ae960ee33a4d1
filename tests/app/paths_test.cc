#include "app/paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kelmora::app {
namespace {

struct DirCase {
  std::string path;
  std::string directory;
};

TEST(DirOf, WindowsPaths) {
  const DirCase cases[] = {
      {"kelmora.exe", ""},
      {"\\kelmora.exe", "\\"},
      {"C:\\kelmora.exe", "C:\\"},
      {"C:\\tools\\kelmora.exe", "C:\\tools"},
      {"C:kelmora.exe", "C:"},
      {"\\\\server\\share\\k.exe", "\\\\server\\share"},
      {"", ""},
      {std::string("a\0b", 3), std::string("a\0", 2)},
  };
  for (const auto& c : cases) EXPECT_EQ(DirOf(c.path, kWindowsPaths), c.directory) << c.path;
}

TEST(DirOf, PosixPaths) {
  const DirCase cases[] = {
      {"kelmora", ""},
      {"/kelmora", "/"},
      {"/usr/local/bin/kelmora", "/usr/local/bin"},
      {"C:/x", "C:"},  // a colon is an ordinary character here
      {std::string(300, 'd') + "/kelmora", std::string(300, 'd')},  // never cut
  };
  for (const auto& c : cases) EXPECT_EQ(DirOf(c.path, kPosixPaths), c.directory) << c.path;
}

TEST(WithTrailingSeparator, AddsOneSeparatorOnlyWhereNeeded) {
  const DirCase windows[] = {{"", ""},         {"C:", "C:"},
                             {"C:\\", "C:\\"}, {"C:\\tools", "C:\\tools\\"},
                             {"\\", "\\"},     {"tools\\", "tools\\"}};
  for (const auto& c : windows)
    EXPECT_EQ(WithTrailingSeparator(c.path, kWindowsPaths), c.directory) << c.path;
  const DirCase posix[] = {{"", ""}, {"/", "/"}, {"/opt/k", "/opt/k/"}, {"C:", "C:/"}};
  for (const auto& c : posix)
    EXPECT_EQ(WithTrailingSeparator(c.path, kPosixPaths), c.directory) << c.path;
}

TEST(SystemSettingsFolders, AbsoluteFoldersOfTheListOrTheDefault) {
  struct Case {
    std::optional<std::string> list;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {std::nullopt, {"/etc/xdg"}},
      {"", {"/etc/xdg"}},
      {"/etc/xdg", {"/etc/xdg"}},
      {"/opt/a:/etc/xdg", {"/opt/a", "/etc/xdg"}},
      {"/a::/b:", {"/a", "/b"}},
      {"relative:./here:~/x:/b", {"/b"}},
      {"relative", {}},
      {":", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SystemSettingsFolders(c.list), c.folders) << c.list.value_or("(unset)");
}

TEST(SettingsSearchOrder, BesideThenUserThenSystemWide) {
  struct Case {
    std::string executable;
    std::optional<std::string> user_folder;
    std::optional<std::string> system_list;
    std::vector<std::string> candidates;
    std::string reported;
  };
  const Case cases[] = {
      {"/usr/bin/kelmora",
       "/home/u/.config",
       std::nullopt,
       {"/usr/bin/kelmora.ctl", "/home/u/.config/kelmora/kelmora.ctl",
        "/etc/xdg/kelmora/kelmora.ctl"},
       "/home/u/.config/kelmora/kelmora.ctl"},
      {"/opt/k/kelmora",
       "/cfg/",
       "/site:rel:/etc/xdg/",
       {"/opt/k/kelmora.ctl", "/cfg/kelmora/kelmora.ctl", "/site/kelmora/kelmora.ctl",
        "/etc/xdg/kelmora/kelmora.ctl"},
       "/cfg/kelmora/kelmora.ctl"},
      {"/opt/k/kelmora",
       "/cfg",
       "rel",
       {"/opt/k/kelmora.ctl", "/cfg/kelmora/kelmora.ctl"},
       "/cfg/kelmora/kelmora.ctl"},
      // No user's settings folder (Windows): beside the executable only.
      {"/opt/k/kelmora", std::nullopt, "/site", {"/opt/k/kelmora.ctl"}, "/opt/k/kelmora.ctl"},
  };
  for (const Case& c : cases) {
    SettingsSearch search =
        SettingsSearchOrder("kelmora.ctl", c.executable, c.user_folder, c.system_list, kPosixPaths);
    EXPECT_EQ(search.candidates, c.candidates) << c.executable;
    EXPECT_EQ(search.reported, c.reported) << c.executable;
  }
}

}  // namespace
}  // namespace kelmora::app
