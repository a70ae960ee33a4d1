#include "text/char_case.h"

#include "text/text_rules.h"

namespace kelmora::text {

char UpCase866(char c) {
  auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x61 && byte <= 0x7A) return static_cast<char>(byte - 0x20);
  if (byte >= 0xA0 && byte <= 0xAF) return static_cast<char>(byte - 0x20);
  if (byte >= 0xE0 && byte <= 0xEF) return static_cast<char>(byte - 0x50);
  if (byte == 0xF1) return static_cast<char>(0xF0);
  return c;
}

void UpperBuffer866(char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) data[i] = UpCase866(data[i]);
}

void FoldForSearch(char* data, std::size_t size) {
  if constexpr (kNativeText.encoding == Encoding::Utf8) {
    Utf8FoldForSearch(data, size);
  } else {
    UpperBuffer866(data, size);
  }
}

ShortString FoldedForSearch(std::string_view s) {
  ShortString folded(s);
  FoldForSearch(folded.data(), folded.size());
  return folded;
}

}  // namespace kelmora::text
