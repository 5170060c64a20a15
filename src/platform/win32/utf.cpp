// UTF-8 <-> UTF-16 on Windows: the system's converters.
#include "platform/win32/windows_seam.h"

namespace quillet::platform {

std::u16string Utf8ToUtf16(std::string_view text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
  return win32::FromWide(out.data(), out.size());
}

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  const std::wstring wide = win32::Wide(text);
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), length, nullptr,
                        nullptr);
  return out;
}

}  // namespace quillet::platform
