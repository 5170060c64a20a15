// The settings store: section "Profiler" of "brindlecot.ini" in the host
// data directory. A setting missing from the file but present as a host
// environment variable of the same name is moved into the file when first
// read. Every read goes to the file; nothing is cached.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// What ReadSettingInt gives for a setting that is neither in the file nor in
// the environment.
inline constexpr int32_t kSettingAbsent = -9999;

// The full path of the settings file.
std::string SettingsFilePath();

// True with the value when the setting is in the file (or was moved there
// from the environment). Without a settings file: false, `value` unchanged.
// Otherwise, when absent: false and `value` empty. A key present but empty
// counts as absent.
bool ReadSetting(std::string_view name, std::string& value);

// The setting as an integer (a value that is not a number reads 0). Without
// a settings file: 0. Absent from file and environment: kSettingAbsent.
int32_t ReadSettingInt(std::string_view name);

// Stores the setting in the file, creating the file when needed.
void WriteSetting(std::string_view name, std::string_view value);

}  // namespace quillet
