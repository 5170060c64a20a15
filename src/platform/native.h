// What each platform folder provides beneath the portable parts of the seam
// (process identity overrides, the message box sink). Not for other callers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet::platform::native {

// The real executable path and command line of this process.
std::u16string ExecutablePath();
std::u16string CommandLine();

// Shows the message box on the platform's own surface (stderr on Linux).
void ShowMessageBox(std::string_view title, std::string_view text);

// The loader's own modules (GetModuleHandleW / GetProcAddress); Linux has
// none besides those the simulated host registers, so 0 and null there.
uintptr_t LoadedModule(std::u16string_view name);
void* LoadedModuleExport(uintptr_t module, std::string_view name);

}  // namespace quillet::platform::native
