// The birth-time counter: local dates on a 32-bit seconds scale, the time
// since the birth moment in a chosen unit, and its text in a chosen radix.
#pragma once

#include <cstdint>

#include "text/bounded_string.h"

namespace kelmora::app {

// Radix of the counter text.
enum class TimeFormat : std::uint8_t { Hex, Dec, Oct, Bin };
// Unit the counter counts in; a Month is 210 days.
enum class TimeCount : std::uint8_t { Sec, Min, Hour, Day, Week, Month };

// A local date and time of day. No field is range-checked anywhere: a day
// beyond the end of its month runs on into the next month.
struct DateTimeRec {
  std::int32_t year = 0;  // the full year, such as 1980
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
};

// Seconds since 1 January 1970 00:00:00 on the local wall clock (no zone,
// no daylight-saving shift), in 32-bit arithmetic that wraps: the scale
// wraps after 19 January 2038, and the all-zero record gives -2040441856.
std::int32_t DateTimeToSeconds(const DateTimeRec& moment);

// The current local moment on the same scale.
std::int32_t NowSeconds();

// Exactly 8 hexadecimal digits of the two's-complement pattern.
text::ShortString HexLong(std::int32_t value);
// Exactly 12 octal digits of the two's-complement pattern (the first is 0).
text::ShortString OctLong(std::int32_t value);
// Exactly 32 binary digits, the most significant bit first.
text::ShortString BinLong(std::int32_t value);

// The text of `@BirthTime`: the wrapping difference now - birth, divided by
// the unit (truncating toward zero), written in `format`.
text::ShortString CounterText(std::int32_t now_seconds, std::int32_t birth_seconds, TimeCount count,
                              TimeFormat format);

// Seconds from `now_seconds` until CounterText next shows another count:
// the next moment the truncated quotient of the wrapping difference
// changes. Always at least 1.
std::int32_t SecondsToNextCount(std::int32_t now_seconds, std::int32_t birth_seconds,
                                TimeCount count);

}  // namespace kelmora::app
