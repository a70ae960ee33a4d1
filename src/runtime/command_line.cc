#include "runtime/command_line.h"

#include "platform/platform.h"

namespace kelmora::runtime {
namespace {

bool IsSeparator(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x20;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  // A zero byte ends the command line.
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> words;
  std::size_t at = 0;
  for (;;) {
    while (at < line.size() && IsSeparator(line[at])) ++at;
    if (at + 1 < line.size() && line[at] == '"' && line[at + 1] == '"') {
      at += 2;
      continue;
    }
    if (at >= line.size()) break;
    std::string word;
    while (at < line.size() && static_cast<unsigned char>(line[at]) > 0x20) {
      if (line[at] == '"') {
        ++at;
        while (at < line.size() && line[at] != '"') word += line[at++];
        if (at < line.size()) ++at;  // the closing quote
      } else {
        word += line[at++];
      }
    }
    words.push_back(word);
  }
  return words;
}

std::vector<std::string> CommandArguments() {
  std::optional<std::string> raw = platform::RawCommandLine();
  std::vector<std::string> words = raw ? SplitCommandLine(*raw) : platform::ArgumentWords();
  if (words.empty()) words.emplace_back();
  words[0] = platform::ExecutablePath();
  return words;
}

}  // namespace kelmora::runtime
