#include "app/file_names.h"

#include <string>

#include "console/markup.h"
#include "platform/platform.h"

namespace kelmora::app {

bool FileExists(std::string_view path) {
  return platform::QueryPath(std::string(path)) == platform::PathKind::File;
}

text::ShortString DoubleTildes(std::string_view text) {
  text::ShortString doubled;
  for (char c : text) {
    doubled.Append(c);
    if (c == '~') doubled.Append('~');
  }
  return doubled;
}

void FixLookalikes(text::ShortString& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x8D') text[i] = 'H';
    if (text[i] == '\xE0') text[i] = 'p';
  }
}

void WriteFileNotLine(const text::ShortString& path, std::string_view what) {
  console::WriteMarkup(text::ShortString("~0C~ \xFE ~07~[") + DoubleTildes(path.view()) +
                       "] ~0C~NOT~07~ " + what + "!\r\n");
}

}  // namespace kelmora::app
