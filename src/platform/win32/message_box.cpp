// The message box on Windows: top-most, OK only.
#include "platform/native.h"
#include "platform/win32/windows_seam.h"

namespace quillet::platform::native {

void ShowMessageBox(std::string_view title, std::string_view text) {
  const std::wstring wideTitle = win32::Wide(Utf8ToUtf16(title));
  const std::wstring wideText = win32::Wide(Utf8ToUtf16(text));
  ::MessageBoxW(nullptr, wideText.c_str(), wideTitle.c_str(), MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
}

}  // namespace quillet::platform::native
