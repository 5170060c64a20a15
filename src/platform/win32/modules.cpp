// Module lookup on Windows: the loader's own tables.
#include "platform/win32/windows_seam.h"

namespace quillet::platform {

ModuleHandle GetModuleHandle(std::u16string_view name) {
  return reinterpret_cast<ModuleHandle>(::GetModuleHandleW(win32::Wide(name).c_str()));
}

void* GetProcAddress(ModuleHandle module, std::string_view name) {
  if (module == 0) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(module), std::string(name).c_str()));
}

// Real modules are registered by the loader; there is nothing to simulate.
void RegisterModule(std::u16string_view, std::optional<std::map<std::string, void*>>) {}

}  // namespace quillet::platform
