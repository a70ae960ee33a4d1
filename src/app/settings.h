// The typed settings of a run, as kelmora.ctl gives them. One instance is
// filled once at the start of the run and only read afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/counter.h"
#include "config/config_reader.h"
#include "text/bounded_string.h"

namespace kelmora::app {

// The birth moment of a settings file that sets neither date nor time: the
// all-zero date-time record on the seconds scale.
inline constexpr std::int32_t kAllZeroBirthSeconds = -2040441856;

// Every field starts with the value it has when its key is not set.
struct Settings {
  TimeFormat time_format = TimeFormat::Hex;
  TimeCount time_count = TimeCount::Sec;
  std::int32_t birth_seconds = kAllZeroBirthSeconds;
  bool change_names = false;
  std::string names_file;  // as written; relative to the current folder
  text::ShortString no_wamp;
  text::ShortString prefix;
  text::ShortString suffix;
};

// kelmora.ctl as read, without a word to the user.
struct SettingsLoad {
  enum class Status { Ok, NotFound, NotReadable };
  Status status = Status::Ok;
  std::string path;
  Settings settings;                      // Ok only
  std::vector<std::int32_t> wrong_lines;  // their line numbers
};
SettingsLoad LoadSettings();

// Where the settings file is: the first that exists of kelmora.ctl beside
// the executable (its real path, links resolved, where the OS has links)
// and, where the OS has settings folders, kelmora/kelmora.ctl in the user's
// (platform::UserSettingsFolder) and in each system-wide one
// (SystemSettingsFolders); when none exists, the per-user path, or beside
// the executable where there is none (SettingsSearchOrder).
std::string SettingsPath();

// The settings the reader found, its keys registered by
// config::AddSettingsKeys; keys without a value keep the defaults above.
Settings SettingsFromReader(const config::ConfigReader& reader);

// Seconds of the moment "day/month/year hour:minute:second": words split at
// " ", "/" and ":", a word that is no number counting 0, words after the
// sixth ignored; no field is range-checked.
std::int32_t ParseBirthMoment(const text::ShortString& text);

}  // namespace kelmora::app
