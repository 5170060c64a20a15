// What each platform folder provides beneath the portable parts of the seam
// (process identity overrides, the message box sink). Not for other callers.
#pragma once

#include <string>
#include <string_view>

namespace quillet::platform::native {

// The real executable path and command line of this process.
std::u16string ExecutablePath();
std::u16string CommandLine();

// Shows the message box on the platform's own surface (stderr on Linux).
void ShowMessageBox(std::string_view title, std::string_view text);

}  // namespace quillet::platform::native
