#include "text/command_line.h"

#include "platform/platform.h"

namespace kelmora::text {
namespace {

bool IsSeparator(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x20;
}

}  // namespace

std::vector<ShortString> SplitCommandLine(std::string_view line) {
  // A zero byte ends the command line.
  line = line.substr(0, line.find('\0'));
  std::vector<ShortString> words;
  std::size_t at = 0;
  for (;;) {
    while (at < line.size() && IsSeparator(line[at])) ++at;
    if (at + 1 < line.size() && line[at] == '"' && line[at + 1] == '"') {
      at += 2;
      continue;
    }
    if (at >= line.size()) break;
    ShortString word;
    while (at < line.size() && static_cast<unsigned char>(line[at]) > 0x20) {
      if (line[at] == '"') {
        ++at;
        while (at < line.size() && line[at] != '"') word.Append(line[at++]);
        if (at < line.size()) ++at;  // the closing quote
      } else {
        word.Append(line[at++]);
      }
    }
    words.push_back(word);
  }
  return words;
}

std::vector<ShortString> CommandArguments() {
  std::vector<ShortString> words;
  if (auto raw = platform::RawCommandLine()) {
    words = SplitCommandLine(*raw);
  } else {
    for (const std::string& word : platform::ArgumentWords()) words.emplace_back(word);
  }
  if (words.empty()) words.emplace_back();
  words[0] = platform::ExecutablePath();
  return words;
}

}  // namespace kelmora::text
