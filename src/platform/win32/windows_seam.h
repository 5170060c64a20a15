// Included first by every Windows platform file: <windows.h> without the
// macros that would rename the seam's own functions, and wide-string helpers.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// These expand to their ...W forms and would rename the seam's declarations.
#undef GetModuleHandle
#undef GetFileAttributes
#undef DeleteFile
#undef GetPrivateProfileString
#undef GetPrivateProfileInt
#undef WritePrivateProfileString

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quillet::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

// A NUL-terminated wide copy for the W functions.
inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

inline std::u16string FromWide(const wchar_t* text, size_t length) {
  return std::u16string(text, text + length);
}

}  // namespace quillet::platform::win32
