// The typed settings of a run, as kelmora.ctl gives them. One instance is
// filled once at the start of the run and only read afterwards.
#pragma once

#include <cstdint>

#include "app/counter.h"
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
  text::ShortString names_file;
  text::ShortString no_wamp;
  text::ShortString prefix;
  text::ShortString suffix;
};

}  // namespace kelmora::app
