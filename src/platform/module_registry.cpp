// Module lookup: export tables registered by the simulated host, found by
// name as GetModuleHandleW / GetProcAddress would find a loaded DLL, before
// the platform's own loader (Windows) is asked.
#include <mutex>
#include <unordered_map>

#include "platform/native.h"
#include "platform/platform.h"

namespace quillet::platform {

namespace {

struct Module {
  ModuleHandle handle = 0;
  std::map<std::string, void*> exports;
};

struct ModuleRegistry {
  std::mutex mutex;
  std::unordered_map<std::u16string, Module> byName;  // key: normalised name
  // Odd, so never the 64 KiB-aligned image base of a module the loader has.
  ModuleHandle nextHandle = 0x10001;
};

ModuleRegistry& Registry() {
  static ModuleRegistry registry;
  return registry;
}

// Module names compare ignoring ASCII case and an optional ".dll" suffix, so
// "NNOTES.DLL", "nnotes.dll" and "nnotes" name the same module.
std::u16string NormaliseModuleName(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  if (key.size() > 4 && key.ends_with(u".dll")) key.resize(key.size() - 4);
  return key;
}

}  // namespace

ModuleHandle GetModuleHandle(std::u16string_view name) {
  {
    ModuleRegistry& registry = Registry();
    std::lock_guard guard(registry.mutex);
    auto found = registry.byName.find(NormaliseModuleName(name));
    if (found != registry.byName.end()) return found->second.handle;
  }
  return native::LoadedModule(name);
}

// Export names compare exactly, as GetProcAddress does. A registered
// module's handle never reaches the loader, even once it is removed.
void* GetProcAddress(ModuleHandle module, std::string_view name) {
  if (module == 0) return nullptr;
  {
    ModuleRegistry& registry = Registry();
    std::lock_guard guard(registry.mutex);
    for (const auto& [key, entry] : registry.byName) {
      if (entry.handle != module) continue;
      auto symbol = entry.exports.find(std::string(name));
      return symbol == entry.exports.end() ? nullptr : symbol->second;
    }
  }
  if ((module & 1) != 0) return nullptr;
  return native::LoadedModuleExport(module, name);
}

// A replaced module keeps its handle, so handles taken earlier stay valid;
// a removed module's handle resolves nothing afterwards.
void RegisterModule(std::u16string_view name, std::optional<std::map<std::string, void*>> exports) {
  const std::u16string key = NormaliseModuleName(name);
  if (key.empty()) return;
  ModuleRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  if (!exports) {
    registry.byName.erase(key);
    return;
  }
  auto [entry, inserted] = registry.byName.try_emplace(key);
  if (inserted) {
    entry->second.handle = registry.nextHandle;
    registry.nextHandle += 0x10000;
  }
  entry->second.exports = std::move(*exports);
}

}  // namespace quillet::platform
