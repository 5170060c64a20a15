// The settings file and its value codec. The input up to its first zero byte
// becomes the settings file; the rest is a value. Reading any file must not
// fail, a value written reads back unchanged, and decoding the stored form of
// any value gives the value.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "config/setting_codec.h"
#include "config/settings.h"
#include "fuzz/fuzz_check.h"

namespace quillet::fuzz {
namespace {

// Values longer than this may be cut by the stored form's limit.
constexpr size_t kWholeValue = 4096;

}  // namespace

int Settings(const uint8_t* data, size_t size) {
  NeedHost();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view file = input.substr(0, split);
  const std::string_view value = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  if (value.size() <= kWholeValue) {
    bool nativeBytes = true;
    FUZZ_CHECK(DecodeSettingValue(EncodeSettingValue(value), nativeBytes) == value);
    FUZZ_CHECK(!nativeBytes);
  }
  bool nativeBytes = false;
  std::u16string stored(value.size() / 2, u'\0');
  if (!stored.empty()) std::memcpy(stored.data(), value.data(), stored.size() * sizeof(char16_t));
  static_cast<void>(DecodeSettingValue(stored, nativeBytes));

  {
    std::ofstream out(SettingsFilePath(), std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
  }
  std::string read;
  static_cast<void>(ReadSetting("ProfileDebug_EnableServerLogging", read));
  static_cast<void>(ReadSettingInt("ProfileFlags"));
  if (value.empty() || value.size() > kWholeValue) return 0;
  WriteSetting("FuzzValue", value);
  FUZZ_CHECK(ReadSetting("FuzzValue", read));
  FUZZ_CHECK(read == value);
  return 0;
}

}  // namespace quillet::fuzz

QUILLET_FUZZ_ENTRY(Settings)
