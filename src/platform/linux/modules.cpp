// Module lookup on Linux: there is no loader to ask beyond the tables the
// simulated host registers (src/platform/module_registry.cpp).
#include "platform/native.h"

namespace quillet::platform::native {

uintptr_t LoadedModule(std::u16string_view) { return 0; }
void* LoadedModuleExport(uintptr_t, std::string_view) { return nullptr; }

}  // namespace quillet::platform::native
