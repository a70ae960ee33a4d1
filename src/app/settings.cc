#include "app/settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/exit_code.h"
#include "app/file_names.h"
#include "app/paths.h"
#include "console/console.h"
#include "console/markup.h"
#include "platform/platform.h"
#include "text/words.h"
#include "text/char_case.h"
#include "text/number.h"
#include "runtime/runtime.h"
#include "text/search.h"

namespace kelmora::app {
namespace {

using text::ShortString;

// Registered in this order; a key's number is its place, from 1.
const char* const kKeyNames[] = {"BirthDate", "BirthTime", "TimeFormat",
                                 "TimeCount", "ChangeNames", "NamesFile",
                                 "NoWamp",    "Prefix",      "Suffix"};
enum KeyNumber : std::int32_t {
  kBirthDate = 1, kBirthTime, kTimeFormat, kTimeCount, kChangeNames,
  kNamesFile, kNoWamp, kPrefix, kSuffix,
};

const text::CharSet kMomentDelimiters(" /:");
const char kSettingsName[] = "kelmora.ctl";

// Only the first line of a key counts.
ShortString FirstValue(const config::ConfigReader& reader, KeyNumber key) {
  return reader.GetValue(key, 1);
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

void ReportSettingsFile(const SettingsLoad& load) {
  WriteFileNotLine(load.path,
                   load.status == SettingsLoad::Status::NotFound ? "found" : "readable");
}

void ReportWrongLines(const SettingsLoad& load, bool pause) {
  if (pause) console::PlainWriteLine("");
  for (std::int32_t number : load.wrong_lines) {
    ShortString start = ErrorBullet() + "wrong line [#" + text::IntToStr(number) + "] in [";
    const char end[] = "]\r\n";
    std::size_t room = ShortString::kCapacity - start.size() - (sizeof end - 1);
    console::WriteMarkup(start + MarkupName(load.path, room) + end);
  }
  if (!pause) return;
  console::PlainWriteLine("   pause (3 seconds)");
  platform::Tone(3400, 30);
  platform::Tone(3210, 30);
  platform::Sleep(3000);
}

std::string SettingsPath() {
  const PathRules& rules = NativePathRules();
  std::string beside =
      WithTrailingSeparator(DirOf(platform::ExecutablePath(), rules), rules) + kSettingsName;
  std::optional<std::string> user_folder = platform::UserSettingsFolder();
  if (FileExists(beside) || !user_folder) return beside;
  return WithTrailingSeparator(*user_folder, rules) + "kelmora" + rules.separator + kSettingsName;
}

void AddSettingsKeys(config::ConfigReader& reader) {
  for (const char* name : kKeyNames) reader.AddKey(name);
}

Settings SettingsFromReader(const config::ConfigReader& reader) {
  Settings settings;
  // Date and time are one text, so either key may hold the whole moment.
  settings.birth_seconds = ParseBirthMoment(FirstValue(reader, kBirthDate) + " " +
                                            FirstValue(reader, kBirthTime));
  settings.time_format = TimeFormatOf(FirstValue(reader, kTimeFormat));
  settings.time_count = TimeCountOf(FirstValue(reader, kTimeCount));
  settings.change_names = text::UpperCaseKeyword(FirstValue(reader, kChangeNames)) == "YES";
  settings.names_file = FirstValue(reader, kNamesFile).str();
  settings.no_wamp = FirstValue(reader, kNoWamp);
  settings.prefix = FirstValue(reader, kPrefix);
  settings.suffix = FirstValue(reader, kSuffix);
  return settings;
}

SettingsLoad LoadSettings() {
  SettingsLoad load;
  load.path = SettingsPath();
  if (!FileExists(load.path)) return Failed(std::move(load), SettingsLoad::Status::NotFound);
  if (!IsRegularFile(load.path))
    return Failed(std::move(load), SettingsLoad::Status::NotReadable);
  config::ConfigReader reader;
  AddSettingsKeys(reader);
  config::LoadResult loaded = reader.Load(load.path);
  // A file that cannot be read must not pass for an empty one.
  if (loaded.status == config::LoadStatus::Unreadable)
    return Failed(std::move(load), SettingsLoad::Status::NotReadable);
  if (loaded.status == config::LoadStatus::NotFound)
    return Failed(std::move(load), SettingsLoad::Status::NotFound);
  for (std::int32_t n = 1; n <= reader.WrongLineCount(); ++n)
    load.wrong_lines.push_back(reader.WrongLineNumber(n));
  load.settings = SettingsFromReader(reader);
  return load;
}

SettingsLoad ReadSettings(bool quiet) {
  SettingsLoad load = LoadSettings();
  if (load.status != SettingsLoad::Status::Ok) {
    // Continues the open "reading config" line.
    ReportSettingsFile(load);
    console::WriteMarkup("~0C~   aborting...\r\n");
    runtime::Halt(kExitNoSettings);
  }
  if (!load.wrong_lines.empty()) ReportWrongLines(load, !quiet);
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
