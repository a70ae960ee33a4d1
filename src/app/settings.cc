#include "app/settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/file_names.h"
#include "app/paths.h"
#include "config/settings_keys.h"
#include "platform/platform.h"
#include "text/words.h"
#include "text/char_case.h"
#include "text/number.h"
#include "text/search.h"

namespace kelmora::app {
namespace {

using text::ShortString;

using config::SettingsKey;

const text::CharSet kMomentDelimiters(" /:");
const char kSettingsName[] = "kelmora.ctl";

// Only the first line of a key counts.
ShortString FirstValue(const config::ConfigReader& reader, SettingsKey key) {
  return reader.GetValue(static_cast<std::int32_t>(key), 1);
}

TimeFormat TimeFormatOf(const ShortString& value) {
  ShortString word = text::UpperCaseKeyword(value);
  if (word == "DEC") return TimeFormat::Dec;
  if (word == "OCT") return TimeFormat::Oct;
  if (word == "BIN") return TimeFormat::Bin;
  return TimeFormat::Hex;
}

TimeCount TimeCountOf(const ShortString& value) {
  ShortString word = text::UpperCaseKeyword(value);
  if (word == "MIN") return TimeCount::Min;
  if (word == "HOUR") return TimeCount::Hour;
  if (word == "DAY") return TimeCount::Day;
  if (word == "WEEK") return TimeCount::Week;
  if (word == "MONTH") return TimeCount::Month;
  return TimeCount::Sec;
}

SettingsLoad Failed(SettingsLoad load, SettingsLoad::Status status) {
  load.status = status;
  return load;
}

}  // namespace

std::string SettingsPath() {
  std::optional<std::string> system_list = platform::SystemSettingsFolderList();
  SettingsSearch search =
      SettingsSearchOrder(kSettingsName, platform::ExecutablePath(), platform::UserSettingsFolder(),
                          system_list, NativePathRules());
  for (const std::string& candidate : search.candidates)
    if (FileExists(candidate)) return candidate;
  return search.reported;
}

Settings SettingsFromReader(const config::ConfigReader& reader) {
  Settings settings;
  // Date and time are one text, so either key may hold the whole moment.
  settings.birth_seconds = ParseBirthMoment(FirstValue(reader, SettingsKey::BirthDate) + " " +
                                            FirstValue(reader, SettingsKey::BirthTime));
  settings.time_format = TimeFormatOf(FirstValue(reader, SettingsKey::TimeFormat));
  settings.time_count = TimeCountOf(FirstValue(reader, SettingsKey::TimeCount));
  settings.change_names =
      text::UpperCaseKeyword(FirstValue(reader, SettingsKey::ChangeNames)) == "YES";
  settings.names_file = FirstValue(reader, SettingsKey::NamesFile).str();
  settings.no_wamp = FirstValue(reader, SettingsKey::NoWamp);
  settings.prefix = FirstValue(reader, SettingsKey::Prefix);
  settings.suffix = FirstValue(reader, SettingsKey::Suffix);
  return settings;
}

SettingsLoad LoadSettings() {
  SettingsLoad load;
  load.path = SettingsPath();
  config::ConfigReader reader;
  config::AddSettingsKeys(reader);
  config::LoadResult loaded = reader.Load(load.path);
  // A file that cannot be read, or is no regular file, must not pass for an
  // empty one.
  if (loaded.status == config::LoadStatus::Unreadable)
    return Failed(std::move(load), SettingsLoad::Status::NotReadable);
  if (loaded.status == config::LoadStatus::NotFound)
    return Failed(std::move(load), SettingsLoad::Status::NotFound);
  for (std::int32_t n = 1; n <= reader.WrongLineCount(); ++n)
    load.wrong_lines.push_back(reader.WrongLineNumber(n));
  load.settings = SettingsFromReader(reader);
  return load;
}

std::int32_t ParseBirthMoment(const ShortString& text) {
  auto field = [&text](int n) {
    return text::StrToInt(text::ExtractWord(n, text.view(), kMomentDelimiters).view());
  };
  DateTimeRec moment;
  moment.day = field(1);
  moment.month = field(2);
  moment.year = field(3);
  moment.hour = field(4);
  moment.minute = field(5);
  moment.second = field(6);
  return DateTimeToSeconds(moment);
}

}  // namespace kelmora::app
