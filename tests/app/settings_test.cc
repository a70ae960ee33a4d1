#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "config/settings_keys.h"
#include "text/temp_dir.h"

namespace kelmora::app {
namespace {

TEST(ParseBirthMoment, DayMonthYearHourMinuteSecond) {
  struct Case {
    std::string text;
    DateTimeRec same_as;
  };
  const Case cases[] = {
      {"15/03/1980 12:30:00", {1980, 3, 15, 12, 30, 0}},
      {"15/03/1980 ", {1980, 3, 15, 0, 0, 0}},             // no BirthTime
      {"15/03/1980 12:30:00 ", {1980, 3, 15, 12, 30, 0}},  // all in BirthDate
      {" 12:30:00", {0, 30, 12, 0, 0, 0}},                 // no BirthDate
      {" ", {0, 0, 0, 0, 0, 0}},
      {"15.03.1980 12:30:00", {30, 12, 0, 0, 0, 0}},  // "." is no delimiter
      {"15/03/80", {80, 3, 15, 0, 0, 0}},             // nothing added to the year
      {"1//2:::1999", {1999, 2, 1, 0, 0, 0}},         // runs of delimiters
      {"x/3/1980 1y:2:3", {1980, 3, 0, 0, 2, 3}},     // not a number: 0
      {"$F/-1/+1980", {1980, -1, 15, 0, 0, 0}},       // sign and hexadecimal
      {"99999999999/1/1970", {1970, 1, 0, 0, 0, 0}},  // overflow: 0
      {"1/1/1970 0:0:5 7 8", {1970, 1, 1, 0, 0, 5}},  // words after the sixth
      {"1/1/1970\t9:0:5", {0, 1, 1, 0, 5, 0}},        // a TAB is no delimiter
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseBirthMoment(c.text), DateTimeToSeconds(c.same_as)) << c.text;
  EXPECT_EQ(ParseBirthMoment(" "), kAllZeroBirthSeconds);
  EXPECT_EQ(ParseBirthMoment("15/03/1980 12:30:00"), 321971400);
}

// The settings of a kelmora.ctl holding `lines`.
Settings SettingsOf(const text::TempDir& dir, const std::string& lines) {
  config::ConfigReader reader;
  config::AddSettingsKeys(reader);
  EXPECT_EQ(reader.Load(dir.Write("kelmora.ctl", lines)).status, config::LoadStatus::Read);
  return SettingsFromReader(reader);
}

TEST(SettingsFromReader, KeysNotSetKeepTheirDefaults) {
  text::TempDir dir;
  for (const char* lines : {"", "; nothing\n\n", "Prefix \"\"\nNoWamp\nTimeFormat"}) {
    Settings settings = SettingsOf(dir, lines);
    EXPECT_EQ(settings.time_format, TimeFormat::Hex) << lines;
    EXPECT_EQ(settings.time_count, TimeCount::Sec) << lines;
    EXPECT_EQ(settings.birth_seconds, kAllZeroBirthSeconds) << lines;
    EXPECT_FALSE(settings.change_names) << lines;
    EXPECT_EQ(settings.names_file, "") << lines;
    EXPECT_EQ(settings.no_wamp.str(), "") << lines;
    EXPECT_EQ(settings.prefix.str(), "") << lines;
    EXPECT_EQ(settings.suffix.str(), "") << lines;
  }
}

TEST(SettingsFromReader, TimeFormatWords) {
  text::TempDir dir;
  struct Case {
    std::string value;
    TimeFormat format;
  };
  const Case cases[] = {
      {"dec", TimeFormat::Dec},  {"Dec", TimeFormat::Dec},     {"DEC", TimeFormat::Dec},
      {"oct", TimeFormat::Oct},  {"BIN", TimeFormat::Bin},     {"hex", TimeFormat::Hex},
      {"DEC2", TimeFormat::Hex}, {"decimal", TimeFormat::Hex}, {"de c", TimeFormat::Hex},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SettingsOf(dir, "TimeFormat " + c.value).time_format, c.format) << c.value;
}

TEST(SettingsFromReader, TimeCountWords) {
  text::TempDir dir;
  struct Case {
    std::string value;
    TimeCount count;
  };
  const Case cases[] = {
      {"min", TimeCount::Min},   {"Hour", TimeCount::Hour},   {"DAY", TimeCount::Day},
      {"WEEK", TimeCount::Week}, {"month", TimeCount::Month}, {"sec", TimeCount::Sec},
      {"weeks", TimeCount::Sec}, {"minute", TimeCount::Sec},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SettingsOf(dir, "TimeCount " + c.value).time_count, c.count) << c.value;
}

TEST(SettingsFromReader, ChangeNamesOnlyForYes) {
  text::TempDir dir;
  for (const char* yes : {"yes", "YES", "yEs", "\"yes\""})
    EXPECT_TRUE(SettingsOf(dir, std::string("ChangeNames ") + yes).change_names) << yes;
  for (const char* no : {"y", "on", "1", "true", "yes!", "no"})
    EXPECT_FALSE(SettingsOf(dir, std::string("ChangeNames ") + no).change_names) << no;
}

TEST(SettingsFromReader, TextsAsWrittenFirstLineCounting) {
  text::TempDir dir;
  Settings settings = SettingsOf(dir,
                                 "NamesFile My Names.LST\n"
                                 "NoWamp ~0C~Silence\n"
                                 "Prefix \"now playing: \"\n"
                                 "Prefix second\n"
                                 "Suffix \"\"\n"
                                 "Suffix \" <\"\n");
  EXPECT_EQ(settings.names_file, "My Names.LST");
  EXPECT_EQ(settings.no_wamp.str(), "~0C~Silence");
  EXPECT_EQ(settings.prefix.str(), "now playing: ");
  // An empty value is no value: the next line's counts.
  EXPECT_EQ(settings.suffix.str(), " <");
}

TEST(SettingsFromReader, BirthFromBothKeysAsOneText) {
  text::TempDir dir;
  const std::int32_t moment = DateTimeToSeconds({1980, 3, 15, 12, 30, 0});
  EXPECT_EQ(SettingsOf(dir, "BirthDate 15/03/1980\nBirthTime 12:30:00").birth_seconds, moment);
  EXPECT_EQ(SettingsOf(dir, "BirthTime 12:30:00\nBirthDate 15/03/1980").birth_seconds, moment);
  EXPECT_EQ(SettingsOf(dir, "BirthDate 15/03/1980 12:30:00").birth_seconds, moment);
  EXPECT_EQ(SettingsOf(dir, "BirthDate 15/03/1980").birth_seconds,
            DateTimeToSeconds({1980, 3, 15, 0, 0, 0}));
}

}  // namespace
}  // namespace kelmora::app
