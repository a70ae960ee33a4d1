// Number text: parsing (Val) and formatting (Str) of 32-bit signed integers,
// the same for 64 bits where a count can be that large (sizes), and
// hexadecimal digits of a bit pattern (HexDigits).
#pragma once

#include <cstdint>
#include <string_view>

#include "text/bounded_string.h"

namespace kelmora::text {

struct ValResult {
  std::int32_t value = 0;
  // 0 on success; otherwise the 1-based position of the offending character,
  // or the text's length + 1 when it ended before a digit.
  std::int32_t code = 0;
};

// Leading spaces (0x20 only), an optional sign, an optional "$" for
// hexadecimal digits, then digits up to the end of the text. Out-of-range
// values are errors; "$" patterns of up to 8 digits read as two's complement.
ValResult Val(std::string_view text);

// Val's value, 0 for any text that is not a number.
std::int32_t StrToInt(std::string_view text);

struct Val64Result {
  std::int64_t value = 0;
  std::int32_t code = 0;  // as ValResult's
};

// Val for 64-bit signed integers: the same text, with the limits of 64 bits
// ("$" patterns of up to 16 digits as two's complement).
Val64Result Val64(std::string_view text);

// Val64's value, 0 for any text that is not a number.
std::int64_t StrToInt64(std::string_view text);

// Decimal digits, "-" first for a negative value, right-aligned in `width`
// with spaces (never cut).
ShortString Str(std::int32_t value, int width);

// Str with width 0.
ShortString IntToStr(std::int32_t value);
ShortString IntToStr64(std::int64_t value);

// The low `digits` hexadecimal digits of `value` (at most 8), capital A to
// F, zeros in front. Allocates nothing, so a fault report may use it.
ShortString HexDigits(std::uint32_t value, int digits);

}  // namespace kelmora::text
