// Process identity on Windows: GetModuleFileNameW and GetCommandLineW.
#include <cwchar>

#include "platform/native.h"
#include "platform/win32/windows_seam.h"

namespace quillet::platform::native {

std::u16string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return win32::FromWide(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
  }
}

std::u16string CommandLine() {
  const wchar_t* line = ::GetCommandLineW();
  return win32::FromWide(line, std::wcslen(line));
}

}  // namespace quillet::platform::native
