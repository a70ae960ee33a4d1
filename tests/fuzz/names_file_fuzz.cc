// The names-file reader over random files: at most one pair per line, a
// token never empty, no blank in a token or a replacement, blank lines
// after the text changing nothing, and pairs written back one a line read
// back alike.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.h"
#include "units.h"

namespace kelmora::fuzz {
namespace {

void CheckWord(const std::string& word) {
  FUZZ_CHECK(word.size() <= text::ShortString::kCapacity);
  FUZZ_CHECK(word.find_first_of(" \t\r\x1A") == std::string::npos);
}

void CheckNames(std::string_view file) {
  NamesRead read = ReadNames(file);
  FUZZ_CHECK(read.read);
  // Ctrl+Z ends the text; a line ends at CR or LF at the latest.
  std::string_view text = file.substr(0, file.find('\x1A'));
  auto line_ends =
      std::count_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
  FUZZ_CHECK(read.pairs.size() <= static_cast<std::size_t>(line_ends) + 1);

  std::string written;
  bool fits = true;
  for (const auto& [token, replacement] : read.pairs) {
    FUZZ_CHECK(!token.empty());
    CheckWord(token);
    CheckWord(replacement);
    written += token + " " + replacement + "\r\n";
    fits = fits && token.size() + 1 + replacement.size() <= text::ShortString::kCapacity;
  }

  FUZZ_CHECK(ReadNames(file) == read);
  FUZZ_CHECK(ReadNames(std::string(file) + "\r\n \t \r\n\r\n") == read);
  if (fits) FUZZ_CHECK(ReadNames(written) == read);
}

}  // namespace
}  // namespace kelmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelmora::fuzz::CheckNames(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
