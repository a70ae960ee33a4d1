#include "text/number.h"

#include <algorithm>

namespace kelmora::text {
namespace {

int DigitValue(char c, bool hexadecimal) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hexadecimal) return -1;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

ValResult Error(std::size_t position) {
  return {0, static_cast<std::int32_t>(position)};
}

}  // namespace

ValResult Val(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  bool hexadecimal = at < text.size() && text[at] == '$';
  if (hexadecimal) ++at;
  if (at >= text.size()) return Error(text.size() + 1);

  std::uint32_t magnitude = 0;
  for (; at < text.size(); ++at) {
    int digit = DigitValue(text[at], hexadecimal);
    if (digit < 0) return Error(at + 1);
    if (hexadecimal) {
      if (magnitude >> 28 != 0) return Error(at + 1);
      magnitude = (magnitude << 4) | static_cast<std::uint32_t>(digit);
    } else {
      if (magnitude > (2147483647u - static_cast<std::uint32_t>(digit)) / 10)
        return Error(at + 1);
      magnitude = magnitude * 10 + static_cast<std::uint32_t>(digit);
    }
  }
  // Two's complement: "$FFFFFFFF" is -1, and "-" negates the pattern.
  auto value = static_cast<std::int32_t>(magnitude);
  if (negative) value = static_cast<std::int32_t>(0u - magnitude);
  return {value, 0};
}

std::int32_t StrToInt(std::string_view text) { return Val(text).value; }

ShortString Str(std::int32_t value, int width) {
  char digits[12];
  int count = 0;
  // Work on the magnitude as unsigned so that INT32_MIN has one.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value)
                                      : static_cast<std::uint32_t>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[count++] = '-';

  ShortString result;
  for (int pad = width - count; pad > 0; --pad) result.Append(' ');
  while (count > 0) result.Append(digits[--count]);
  return result;
}

ShortString IntToStr(std::int32_t value) { return Str(value, 0); }

ShortString HexDigits(std::uint32_t value, int digits) {
  ShortString result;
  for (int shift = 4 * (std::min(digits, 8) - 1); shift >= 0; shift -= 4)
    result.Append("0123456789ABCDEF"[(value >> shift) & 0xF]);
  return result;
}

}  // namespace kelmora::text
