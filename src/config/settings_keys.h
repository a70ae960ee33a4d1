// The keys of kelmora.ctl. A ConfigReader numbers its keys from 1 in the
// order they are added; the settings reader adds these in table order, so
// each key's number is its SettingsKey value.
#pragma once

#include <cstdint>

#include "config/config_reader.h"

namespace kelmora::config {

enum class SettingsKey : std::int32_t {
  BirthDate = 1,
  BirthTime,
  TimeFormat,
  TimeCount,
  ChangeNames,
  NamesFile,
  NoWamp,
  Prefix,
  Suffix,
};

struct SettingsKeyName {
  SettingsKey key;
  const char* name;
};

inline constexpr SettingsKeyName kSettingsKeys[] = {
    {SettingsKey::BirthDate, "BirthDate"},     {SettingsKey::BirthTime, "BirthTime"},
    {SettingsKey::TimeFormat, "TimeFormat"},   {SettingsKey::TimeCount, "TimeCount"},
    {SettingsKey::ChangeNames, "ChangeNames"}, {SettingsKey::NamesFile, "NamesFile"},
    {SettingsKey::NoWamp, "NoWamp"},           {SettingsKey::Prefix, "Prefix"},
    {SettingsKey::Suffix, "Suffix"},
};

// Adds the keys of kSettingsKeys to `reader`, in table order.
inline void AddSettingsKeys(ConfigReader& reader) {
  for (const SettingsKeyName& key : kSettingsKeys) reader.AddKey(key.name);
}

}  // namespace kelmora::config
