#include "app/counter.h"

#include <array>
#include <cstdint>

#include "platform/platform.h"
#include "text/number.h"

namespace kelmora::app {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Day number of 1 January 1970.
constexpr std::uint32_t kEpochDay = 2440588;

// Seconds per unit, indexed by TimeCount; Sec divides by nothing.
constexpr std::array<std::int32_t, 6> kDivisors = {1, 60, 3600, 86400, 604800, 18144000};

std::uint32_t Bits(std::int32_t value) { return static_cast<std::uint32_t>(value); }
std::int32_t Wrap(std::uint32_t bits) { return static_cast<std::int32_t>(bits); }

// Julian day number of a Gregorian date (ACM Algorithm 199). Unsigned
// arithmetic gives the wrapping products, and the two shifts are logical
// shifts of those products, so a year below 1 gives a well-defined number.
std::uint32_t DayNumber(std::int32_t year, std::int32_t month, std::int32_t day) {
  if (month <= 2) {
    year = Wrap(Bits(year) - 1u);  // the fields are unchecked: INT32_MIN wraps
    month += 12;
  }
  month -= 3;  // March is month 0; January and February close the year
  std::int32_t century = year / 100;
  std::int32_t year_of_century = year % 100;
  std::int32_t month_days = Wrap(153u * Bits(month) + 2u) / 5;
  return ((146097u * Bits(century)) >> 2) + ((1461u * Bits(year_of_century)) >> 2) +
         Bits(month_days) + Bits(day) + 1721119u;
}

}  // namespace

std::int32_t DateTimeToSeconds(const DateTimeRec& moment) {
  std::uint32_t days = DayNumber(moment.year, moment.month, moment.day) - kEpochDay;
  return Wrap(Bits(moment.hour) * 3600u + days * 86400u + Bits(moment.minute) * 60u +
              Bits(moment.second));
}

std::int32_t NowSeconds() {
  platform::LocalTime now = platform::ReadLocalTime();
  return DateTimeToSeconds({now.year, now.month, now.day, now.hour, now.minute, now.second});
}

text::ShortString HexLong(std::int32_t value) { return text::HexDigits(Bits(value), 8); }

text::ShortString OctLong(std::int32_t value) {
  text::ShortString result;
  result.resize(12);
  std::uint32_t bits = Bits(value);
  for (std::size_t at = 12; at-- > 0; bits >>= 3) result[at] = kDigits[bits & 7];
  return result;
}

text::ShortString BinLong(std::int32_t value) {
  text::ShortString result;
  for (int bit = 31; bit >= 0; --bit) result += (Bits(value) >> bit & 1) != 0 ? '1' : '0';
  return result;
}

text::ShortString CounterText(std::int32_t now_seconds, std::int32_t birth_seconds, TimeCount count,
                              TimeFormat format) {
  std::int32_t counter = Wrap(Bits(now_seconds) - Bits(birth_seconds));
  counter /= kDivisors[static_cast<std::size_t>(count)];
  switch (format) {
    case TimeFormat::Hex: return HexLong(counter);
    case TimeFormat::Dec: return text::IntToStr(counter);
    case TimeFormat::Oct: return OctLong(counter);
    case TimeFormat::Bin: return BinLong(counter);
  }
  return HexLong(counter);
}

std::int32_t SecondsToNextCount(std::int32_t now_seconds, std::int32_t birth_seconds,
                                TimeCount count) {
  const std::int64_t unit = kDivisors[static_cast<std::size_t>(count)];
  const std::int64_t difference = Wrap(Bits(now_seconds) - Bits(birth_seconds));
  const std::int64_t quotient = difference / unit;
  // The quotient is truncated toward zero: a negative count goes up one
  // second past the multiple of the unit that it stands for, a count of 0
  // or more when the next multiple is reached.
  const std::int64_t next = quotient < 0 ? quotient * unit + 1 : (quotient + 1) * unit;
  return static_cast<std::int32_t>(next - difference);
}

}  // namespace kelmora::app
