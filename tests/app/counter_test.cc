#include "app/counter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <limits>
#include <string>

#include "app/settings.h"
#include "text/number.h"

namespace kelmora::app {
namespace {

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

TEST(DateTimeToSeconds, KnownMoments) {
  struct Case {
    DateTimeRec moment;
    std::int32_t seconds;
  };
  const Case cases[] = {
      {{1970, 1, 1, 0, 0, 0}, 0},
      {{2000, 1, 1, 0, 0, 0}, 946684800},
      {{0, 0, 0, 0, 0, 0}, -2040441856},
      {{1980, 3, 15, 12, 30, 0}, 321971400},
      {{1970, 1, 1, 0, 0, 59}, 59},
      {{1970, 1, 1, 0, 1, 0}, 60},
      {{1970, 1, 1, 1, 0, 0}, 3600},
      // Past 2038 the scale wraps.
      {{2038, 1, 19, 3, 14, 7}, kMax32},
      {{2038, 1, 19, 3, 14, 8}, kMin32},
      {{2040, 1, 1, 0, 0, 0}, -2085978496},
      {{2106, 2, 7, 6, 28, 16}, 0},
      {{1901, 12, 13, 20, 45, 52}, kMin32},
      // Years of the first century, and the last four-digit year.
      {{1, 1, 1, 0, 0, 0}, -2006054656},
      {{80, 3, 15, 0, 0, 0}, 493324544},
      {{9999, 12, 31, 23, 59, 59}, -769665},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeToSeconds(c.moment), c.seconds)
        << c.moment.year << "-" << c.moment.month << "-" << c.moment.day << " " << c.moment.hour
        << ":" << c.moment.minute << ":" << c.moment.second;
  }
}

TEST(DateTimeToSeconds, UncheckedFieldsRunOn) {
  struct Case {
    DateTimeRec moment;
    DateTimeRec same_as;
  };
  const Case cases[] = {
      {{2000, 4, 31, 0, 0, 0}, {2000, 5, 1, 0, 0, 0}},
      {{2000, 13, 1, 0, 0, 0}, {2001, 1, 1, 0, 0, 0}},
      {{2000, 0, 1, 0, 0, 0}, {1999, 12, 1, 0, 0, 0}},
      {{2000, 1, 1, 25, 0, 0}, {2000, 1, 2, 1, 0, 0}},
      {{2000, 1, 1, 0, 61, 0}, {2000, 1, 1, 1, 1, 0}},
      {{2000, 1, 1, 0, 0, -1}, {1999, 12, 31, 23, 59, 59}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeToSeconds(c.moment), DateTimeToSeconds(c.same_as))
        << c.moment.year << "-" << c.moment.month << "-" << c.moment.day;
  }
}

TEST(DateTimeToSeconds, LeapDaysByTheGregorianRule) {
  struct Case {
    DateTimeRec before;
    DateTimeRec after;
    std::int32_t seconds_between;
  };
  const Case cases[] = {
      {{2000, 2, 29, 0, 0, 0}, {2000, 3, 1, 0, 0, 0}, 86400},
      {{2000, 2, 28, 0, 0, 0}, {2000, 3, 1, 0, 0, 0}, 2 * 86400},
      {{1900, 2, 28, 0, 0, 0}, {1900, 3, 1, 0, 0, 0}, 86400},
      {{2023, 2, 28, 0, 0, 0}, {2023, 3, 1, 0, 0, 0}, 86400},
      {{2024, 2, 28, 0, 0, 0}, {2024, 3, 1, 0, 0, 0}, 2 * 86400},
      {{1999, 12, 31, 0, 0, 0}, {2000, 1, 1, 0, 0, 0}, 86400},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeToSeconds(c.after) - DateTimeToSeconds(c.before), c.seconds_between)
        << c.before.day << "/" << c.before.month << "/" << c.before.year;
  }
}

TEST(DateTimeToSeconds, YearsBelowOneShiftLogically) {
  // Fields come unchecked from the settings ("$80000000" reads as INT32_MIN);
  // negative products are shifted as 32-bit patterns, and every sum wraps.
  struct Case {
    DateTimeRec moment;
    std::int32_t seconds;
  };
  const Case cases[] = {
      {{-1, 1, 1, 0, 0, 0}, -2069213056},
      {{-401, 3, 1, 0, 0, 0}, -1801994368},
      {{-150, 3, 1, 0, 0, 0}, 1823758336},
      {{-1, 3, 1, 0, 0, 0}, -2064115456},
      {{kMin32, 1, 1, 0, 0, 0}, -2037645952},
      {{kMin32, kMin32, kMin32, 0, 0, 0}, -2040272512},
      {{kMax32, kMax32, kMax32, kMax32, kMax32, kMax32}, 72630195},
      {{kMin32, kMin32, kMin32, kMin32, kMin32, kMin32}, 107211136},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeToSeconds(c.moment), c.seconds)
        << c.moment.year << "-" << c.moment.month << "-" << c.moment.day;
  }
}

TEST(DateTimeToSeconds, AllZeroRecordIsTheDefaultBirth) {
  EXPECT_EQ(Settings{}.birth_seconds, DateTimeToSeconds(DateTimeRec{}));
}

// Seconds of the local clock as the C library reads it.
std::int32_t LibraryLocalSeconds() {
  std::time_t now = std::time(nullptr);
  std::tm local = *std::localtime(&now);
  return DateTimeToSeconds({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                            local.tm_min, local.tm_sec});
}

TEST(NowSeconds, ReadsTheLocalClock) {
  std::int32_t before = LibraryLocalSeconds();
  std::int32_t now = NowSeconds();
  std::int32_t after = LibraryLocalSeconds();
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
}

TEST(RadixText, FixedWidthDigits) {
  struct Case {
    std::int32_t value;
    std::string hex, oct, bin;
  };
  const Case cases[] = {
      {0, "00000000", "000000000000", std::string(32, '0')},
      {-1, "FFFFFFFF", "037777777777", std::string(32, '1')},
      {1, "00000001", "000000000001", std::string(31, '0') + "1"},
      {8, "00000008", "000000000010", std::string(28, '0') + "1000"},
      {255, "000000FF", "000000000377", std::string(24, '0') + "11111111"},
      {0x1234ABCD, "1234ABCD", "002215125715", "00010010001101001010101111001101"},
      {kMin32, "80000000", "020000000000", "1" + std::string(31, '0')},
      {kMax32, "7FFFFFFF", "017777777777", "0" + std::string(31, '1')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HexLong(c.value).str(), c.hex) << c.value;
    EXPECT_EQ(OctLong(c.value).str(), c.oct) << c.value;
    EXPECT_EQ(BinLong(c.value).str(), c.bin) << c.value;
  }
}

TEST(RadixText, IntToStrHasNoPadding) {
  EXPECT_EQ(text::IntToStr(0).str(), "0");
  EXPECT_EQ(text::IntToStr(-1).str(), "-1");
  EXPECT_EQ(text::IntToStr(1234567).str(), "1234567");
  EXPECT_EQ(text::IntToStr(kMin32).str(), "-2147483648");
  EXPECT_EQ(text::IntToStr(kMax32).str(), "2147483647");
}

TEST(CounterText, UnitsAndRadixes) {
  const std::int32_t now = 946684800;
  struct Case {
    std::int32_t birth;
    TimeCount count;
    TimeFormat format;
    std::string text;
  };
  const Case cases[] = {
      {now, TimeCount::Sec, TimeFormat::Hex, "00000000"},
      {now, TimeCount::Sec, TimeFormat::Dec, "0"},
      {now, TimeCount::Sec, TimeFormat::Oct, "000000000000"},
      {now, TimeCount::Sec, TimeFormat::Bin, std::string(32, '0')},
      {now - 90, TimeCount::Sec, TimeFormat::Dec, "90"},
      {now - 90, TimeCount::Sec, TimeFormat::Hex, "0000005A"},
      {now - 90, TimeCount::Min, TimeFormat::Dec, "1"},
      // Truncated toward zero: -1, not -2.
      {now + 90, TimeCount::Min, TimeFormat::Dec, "-1"},
      {now + 90, TimeCount::Min, TimeFormat::Hex, "FFFFFFFF"},
      {now + 90, TimeCount::Min, TimeFormat::Oct, "037777777777"},
      {now + 1, TimeCount::Sec, TimeFormat::Bin, std::string(32, '1')},
      {now - 7199, TimeCount::Hour, TimeFormat::Dec, "1"},
      {now - 7200, TimeCount::Hour, TimeFormat::Dec, "2"},
      {now - 86400 * 3, TimeCount::Day, TimeFormat::Dec, "3"},
      {now - 86400 * 13, TimeCount::Week, TimeFormat::Dec, "1"},
      {now - 86400 * 14, TimeCount::Week, TimeFormat::Dec, "2"},
      // A month is 210 days.
      {now - 86400 * 210, TimeCount::Month, TimeFormat::Dec, "1"},
      {now - 86400 * 209, TimeCount::Month, TimeFormat::Dec, "0"},
      {now - 86400 * 30, TimeCount::Month, TimeFormat::Dec, "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CounterText(now, c.birth, c.count, c.format).str(), c.text)
        << "birth " << c.birth << " count " << static_cast<int>(c.count) << " format "
        << static_cast<int>(c.format);
  }
}

// The wait of a followed run: the counter text is the same until the
// moment given, and changes at it, on both sides of the birth moment.
TEST(SecondsToNextCount, EndsExactlyWhenTheCounterTextChanges) {
  const std::int32_t birth = 946684800;
  for (TimeCount count : {TimeCount::Sec, TimeCount::Min, TimeCount::Hour, TimeCount::Day}) {
    for (std::int32_t offset :
         {-7201, -3600, -121, -120, -61, -60, -59, -1, 0, 1, 59, 60, 61, 3599, 3600, 86399}) {
      const std::int32_t now = birth + offset;
      const std::int32_t wait = SecondsToNextCount(now, birth, count);
      ASSERT_GE(wait, 1);
      auto text = [&](std::int32_t at) {
        return CounterText(at, birth, count, TimeFormat::Dec).str();
      };
      EXPECT_EQ(text(now + wait - 1), text(now)) << offset << " count " << int(count);
      EXPECT_NE(text(now + wait), text(now)) << offset << " count " << int(count);
    }
  }
  EXPECT_EQ(SecondsToNextCount(birth - 30, birth, TimeCount::Min), 90);
  EXPECT_EQ(SecondsToNextCount(birth - 119, birth, TimeCount::Min), 60);
}

TEST(CounterText, DifferenceSurvivesTheWrapOf2038) {
  std::int32_t birth = DateTimeToSeconds({2000, 1, 1, 0, 0, 0});
  std::int32_t now = DateTimeToSeconds({2040, 1, 1, 0, 0, 0});
  EXPECT_LT(now, 0);
  // 40 years with 10 leap days.
  EXPECT_EQ(CounterText(now, birth, TimeCount::Day, TimeFormat::Dec).str(), "14610");
  EXPECT_EQ(CounterText(now, birth, TimeCount::Sec, TimeFormat::Dec).str(), "1262304000");
}

TEST(CounterText, DefaultSettingsGiveHexSecondsSinceTheZeroRecord) {
  Settings defaults;
  std::int32_t now = DateTimeToSeconds({2024, 6, 1, 12, 0, 0});
  auto expected = static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                            static_cast<std::uint32_t>(-2040441856));
  EXPECT_EQ(
      CounterText(now, defaults.birth_seconds, defaults.time_count, defaults.time_format).str(),
      HexLong(expected).str());
}

}  // namespace
}  // namespace kelmora::app
