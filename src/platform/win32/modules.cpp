// Module lookup on Windows: the loader's own tables, asked after the tables
// the simulated host registers (src/platform/module_registry.cpp).
#include "platform/native.h"
#include "platform/win32/windows_seam.h"

namespace quillet::platform::native {

uintptr_t LoadedModule(std::u16string_view name) {
  if (name.empty()) return 0;
  return reinterpret_cast<uintptr_t>(::GetModuleHandleW(win32::Wide(name).c_str()));
}

void* LoadedModuleExport(uintptr_t module, std::string_view name) {
  if (name.empty()) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(module), std::string(name).c_str()));
}

}  // namespace quillet::platform::native
