#include "text/utf8.h"

#include <utf8proc.h>

#include <cstring>

namespace kelmora::text {
namespace {

constexpr std::size_t kLongestSequence = 4;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The length of the valid sequence at the start of `text`, or 0 when it is
// none; `code_point` then holds its character.
std::size_t ValidSequence(std::string_view text, utf8proc_int32_t* code_point) {
  utf8proc_ssize_t length =
      utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                       static_cast<utf8proc_ssize_t>(text.size()), code_point);
  return length > 0 ? static_cast<std::size_t>(length) : 0;
}

}  // namespace

std::size_t Utf8WholeCharPrefix(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  // Only a character that begins before the limit and runs over it is cut,
  // and it begins at most three bytes back.
  if (!IsContinuation(text[limit])) return limit;
  for (std::size_t back = 1; back < kLongestSequence && back <= limit; ++back) {
    std::size_t start = limit - back;
    if (IsContinuation(text[start])) continue;
    utf8proc_int32_t code_point = 0;
    std::size_t length = ValidSequence(text.substr(start, kLongestSequence), &code_point);
    return start + length > limit ? start : limit;
  }
  return limit;
}

CharExtent Utf8FirstChar(std::string_view text) {
  utf8proc_int32_t code_point = 0;
  std::size_t length = ValidSequence(text.substr(0, kLongestSequence), &code_point);
  if (length == 0) return {1, 1};
  return {length, utf8proc_charwidth(code_point)};
}

void Utf8FoldForSearch(char* data, std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    auto byte = static_cast<unsigned char>(data[at]);
    if (byte < 0x80) {
      if (byte >= 'a' && byte <= 'z') data[at] = static_cast<char>(byte - 0x20);
      ++at;
      continue;
    }
    utf8proc_int32_t code_point = 0;
    std::size_t length = ValidSequence(std::string_view(data + at, size - at), &code_point);
    if (length == 0) {
      ++at;  // an invalid byte is compared as it is
      continue;
    }
    utf8proc_uint8_t upper[kLongestSequence];
    if (static_cast<std::size_t>(utf8proc_encode_char(utf8proc_toupper(code_point), upper)) ==
        length)
      std::memcpy(data + at, upper, length);
    at += length;
  }
}

}  // namespace kelmora::text
