#include "text/number.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace kelmora::text {
namespace {

int DigitValue(char c, bool hexadecimal) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hexadecimal) return -1;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <class Result>
Result Error(std::size_t position) {
  return {0, static_cast<std::int32_t>(position)};
}

// Val for a signed integer type `Int`; the rules are the same for every
// width, the limits those of the type.
template <class Int, class Result>
Result ParseNumber(std::string_view text) {
  using Magnitude = std::make_unsigned_t<Int>;
  constexpr auto kMax = static_cast<Magnitude>(std::numeric_limits<Int>::max());
  constexpr int kBits = std::numeric_limits<Magnitude>::digits;
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  bool hexadecimal = at < text.size() && text[at] == '$';
  if (hexadecimal) ++at;
  if (at >= text.size()) return Error<Result>(text.size() + 1);

  Magnitude magnitude = 0;
  for (; at < text.size(); ++at) {
    int digit = DigitValue(text[at], hexadecimal);
    if (digit < 0) return Error<Result>(at + 1);
    auto digit_value = static_cast<Magnitude>(digit);
    if (hexadecimal) {
      if (magnitude >> (kBits - 4) != 0) return Error<Result>(at + 1);
      magnitude = static_cast<Magnitude>((magnitude << 4) | digit_value);
    } else {
      if (magnitude > (kMax - digit_value) / 10) return Error<Result>(at + 1);
      magnitude = static_cast<Magnitude>(magnitude * 10 + digit_value);
    }
  }
  // Two's complement: "$FFFFFFFF" is -1 in 32 bits, and "-" negates the
  // pattern.
  if (negative) magnitude = static_cast<Magnitude>(Magnitude{0} - magnitude);
  return {static_cast<Int>(magnitude), 0};
}

template <class Int>
ShortString Digits(Int value, int width) {
  using Magnitude = std::make_unsigned_t<Int>;
  char digits[24];
  int count = 0;
  // Work on the magnitude as unsigned so that the most negative value has one.
  Magnitude magnitude = value < 0
                            ? static_cast<Magnitude>(Magnitude{0} - static_cast<Magnitude>(value))
                            : static_cast<Magnitude>(value);
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

}  // namespace

ValResult Val(std::string_view text) { return ParseNumber<std::int32_t, ValResult>(text); }

std::int32_t StrToInt(std::string_view text) { return Val(text).value; }

Val64Result Val64(std::string_view text) { return ParseNumber<std::int64_t, Val64Result>(text); }

std::int64_t StrToInt64(std::string_view text) { return Val64(text).value; }

ShortString Str(std::int32_t value, int width) { return Digits(value, width); }

ShortString IntToStr(std::int32_t value) { return Str(value, 0); }

ShortString IntToStr64(std::int64_t value) { return Digits(value, 0); }

ShortString HexDigits(std::uint32_t value, int digits) {
  ShortString result;
  for (int shift = 4 * (std::min(digits, 8) - 1); shift >= 0; shift -= 4)
    result.Append("0123456789ABCDEF"[(value >> shift) & 0xF]);
  return result;
}

}  // namespace kelmora::text
