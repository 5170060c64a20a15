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
#include "sim/scoped_sim_host.h"

namespace {

// Values longer than this may be cut by the stored form's limit.
constexpr size_t kWholeValue = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static quillet::sim::ScopedSimHost* host = new quillet::sim::ScopedSimHost();
  static_cast<void>(host);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view file = input.substr(0, split);
  const std::string_view value = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  if (value.size() <= kWholeValue) {
    bool nativeBytes = true;
    FUZZ_CHECK(quillet::DecodeSettingValue(quillet::EncodeSettingValue(value), nativeBytes) == value);
    FUZZ_CHECK(!nativeBytes);
  }
  bool nativeBytes = false;
  std::u16string stored(value.size() / 2, u'\0');
  if (!stored.empty()) std::memcpy(stored.data(), value.data(), stored.size() * sizeof(char16_t));
  static_cast<void>(quillet::DecodeSettingValue(stored, nativeBytes));

  {
    std::ofstream out(quillet::SettingsFilePath(), std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
  }
  std::string read;
  static_cast<void>(quillet::ReadSetting("ProfileDebug_EnableServerLogging", read));
  static_cast<void>(quillet::ReadSettingInt("ProfileFlags"));
  if (value.empty() || value.size() > kWholeValue) return 0;
  quillet::WriteSetting("FuzzValue", value);
  FUZZ_CHECK(quillet::ReadSetting("FuzzValue", read));
  FUZZ_CHECK(read == value);
  return 0;
}
