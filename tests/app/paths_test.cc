#include "app/paths.h"

#include <gtest/gtest.h>

#include <string>

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
  for (const auto& c : cases)
    EXPECT_EQ(DirOf(c.path, kWindowsPaths), c.directory) << c.path;
}

TEST(DirOf, PosixPaths) {
  const DirCase cases[] = {
      {"kelmora", ""},
      {"/kelmora", "/"},
      {"/usr/local/bin/kelmora", "/usr/local/bin"},
      {"C:/x", "C:"},  // a colon is an ordinary character here
      {std::string(300, 'd') + "/kelmora", std::string(300, 'd')},  // never cut
  };
  for (const auto& c : cases)
    EXPECT_EQ(DirOf(c.path, kPosixPaths), c.directory) << c.path;
}

TEST(WithTrailingSeparator, AddsOneSeparatorOnlyWhereNeeded) {
  const DirCase windows[] = {
      {"", ""}, {"C:", "C:"}, {"C:\\", "C:\\"}, {"C:\\tools", "C:\\tools\\"},
      {"\\", "\\"}, {"tools\\", "tools\\"}};
  for (const auto& c : windows)
    EXPECT_EQ(WithTrailingSeparator(c.path, kWindowsPaths), c.directory) << c.path;
  const DirCase posix[] = {{"", ""}, {"/", "/"}, {"/opt/k", "/opt/k/"}, {"C:", "C:/"}};
  for (const auto& c : posix)
    EXPECT_EQ(WithTrailingSeparator(c.path, kPosixPaths), c.directory) << c.path;
}

}  // namespace
}  // namespace kelmora::app
