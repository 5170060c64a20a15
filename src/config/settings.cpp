// Reading and writing settings in the settings file, with the move of a
// host environment variable into the file on first read.
#include "config/settings.h"

#include <span>
#include <vector>

#include "config/notes_api.h"
#include "config/setting_codec.h"
#include "platform/platform.h"

namespace quillet {
namespace {

constexpr std::u16string_view kSection = u"Profiler";
constexpr size_t kReadBuffer = 65535;  // characters, terminator included

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

std::u16string SettingsFile() { return platform::Utf8ToUtf16(SettingsFilePath()); }

bool SettingsFileExists(std::u16string_view file) {
  auto attributes = platform::GetFileAttributes(file);
  return attributes.has_value() && !attributes->directory;
}

// "&#" forms carry native code-page bytes; the host set is what callers use.
std::string NativeToHost(const std::string& bytes) {
  std::vector<uint8_t> out;
  auto in = std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (Notes().Translate(kTranslateNativeToHost, in, out) != kNoError) return bytes;
  return std::string(out.begin(), out.end());
}

// Moves an environment variable into the file and empties it in the
// environment, so the file is the one place it is read from afterwards.
void MoveToFile(std::string_view name, std::string_view value) {
  WriteSetting(name, value);
  Notes().SetEnvironmentString(name, "");
}

}  // namespace

std::string SettingsFilePath() {
  std::string path = Notes().DataDirectory();
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += kPathSeparator;
  return path + "brindlecot.ini";
}

bool ReadSetting(std::string_view name, std::string& value) {
  const std::u16string file = SettingsFile();
  if (!SettingsFileExists(file)) return false;

  const std::u16string key = platform::Utf8ToUtf16(name);
  const std::u16string stored = platform::GetPrivateProfileString(kSection, key, kAbsentMarker, kReadBuffer, file);
  bool nativeBytes = false;
  std::string decoded = DecodeSettingValue(stored, nativeBytes);
  if (nativeBytes) decoded = NativeToHost(decoded);
  // The marker is compared as stored: a value "NoKey" is stored escaped and
  // reads back.
  if (!stored.empty() && stored != kAbsentMarker) {
    value = std::move(decoded);
    return true;
  }

  std::string environment;
  if (Notes().EnvironmentString(name, environment)) {
    MoveToFile(name, environment);
    value = std::move(environment);
    return true;
  }
  value.clear();
  return false;
}

int32_t ReadSettingInt(std::string_view name) {
  const std::u16string file = SettingsFile();
  if (!SettingsFileExists(file)) return 0;

  const std::u16string key = platform::Utf8ToUtf16(name);
  int32_t stored = platform::GetPrivateProfileInt(kSection, key, kSettingAbsent, file);
  if (stored != kSettingAbsent) return stored;

  NotesApi& notes = Notes();
  std::string environment;
  if (!notes.EnvironmentString(name, environment)) return kSettingAbsent;
  int32_t number = notes.EnvironmentInt(name);
  MoveToFile(name, std::to_string(number));
  return number;
}

void WriteSetting(std::string_view name, std::string_view value) {
  (void)platform::WritePrivateProfileString(kSection, platform::Utf8ToUtf16(name), EncodeSettingValue(value),
                                            SettingsFile());
}

}  // namespace quillet
