// Profile (INI) files on Windows: the profile API itself.
#include "platform/profile_text.h"
#include "platform/win32/windows_seam.h"

namespace quillet::platform {

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, size_t bufferSize,
                                       std::u16string_view file) {
  if (bufferSize == 0) return {};
  std::wstring buffer(bufferSize, L'\0');
  const DWORD length = ::GetPrivateProfileStringW(win32::Wide(section).c_str(), win32::Wide(key).c_str(),
                                                  win32::Wide(defaultValue).c_str(), buffer.data(),
                                                  static_cast<DWORD>(bufferSize), win32::Wide(file).c_str());
  return win32::FromWide(buffer.data(), length);
}

int32_t GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue,
                             std::u16string_view file) {
  return static_cast<int32_t>(::GetPrivateProfileIntW(win32::Wide(section).c_str(), win32::Wide(key).c_str(),
                                                      defaultValue, win32::Wide(file).c_str()));
}

// Entries that would not read back as written are refused before the API,
// which would write them and break the file's lines.
bool WritePrivateProfileString(std::u16string_view section, std::u16string_view key,
                               std::u16string_view value, std::u16string_view file) {
  if (!profile_text::EntryFits(section, key, value)) return false;
  return ::WritePrivateProfileStringW(win32::Wide(section).c_str(), win32::Wide(key).c_str(),
                                      win32::Wide(value).c_str(), win32::Wide(file).c_str()) != FALSE;
}

}  // namespace quillet::platform
