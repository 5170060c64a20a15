// The native table and the forwarding of the timer entry points.
#include "sim/lsrun/natives.h"

#include <cstdint>

#include "sim/lsrun/errors.h"
#include "sim/lsrun/module_view.h"

// The library's exported timer entry points (cdecl, every argument in a 32-bit
// slot). They live in the hook driver's export layer, which is linked into the
// shared library but not into every program that runs modules, so they are
// referenced weakly: absent, they read as null (MinGW's linker resolves weak
// references to a definition in the same program as well).
#if defined(__GNUC__)
extern "C" {
__attribute__((weak)) void KVXFunctionTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                                            int32_t type);
__attribute__((weak)) void KVXLineTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                                        int32_t type, int32_t line);
}
#define QUILLET_LSRUN_TIMERS 1
#endif

namespace quillet::lsrun {
namespace {

std::string_view LibraryStem(std::string_view library) {
  if (library.size() >= 4 && SameName(library.substr(library.size() - 4), ".dll")) library.remove_suffix(4);
  return library;
}

// The low 16 bits of an Integer argument, as the callee reads its slot.
uint32_t Word(const Value& v) { return static_cast<uint16_t>(v.n()); }
int32_t Signed(const Value& v) { return static_cast<int16_t>(v.n()); }

int FunctionTimer(std::span<const Value> a, Value&) {
#if defined(QUILLET_LSRUN_TIMERS)
  if (a.size() == 6 && ::KVXFunctionTimer != nullptr) {
    ::KVXFunctionTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]));
    return 0;
  }
#endif
  (void)a;
  return err::kErrorInLoadingDll;
}

int LineTimer(std::span<const Value> a, Value&) {
#if defined(QUILLET_LSRUN_TIMERS)
  if (a.size() == 7 && ::KVXLineTimer != nullptr) {
    ::KVXLineTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]), Signed(a[6]));
    return 0;
  }
#endif
  (void)a;
  return err::kErrorInLoadingDll;
}

}  // namespace

void NativeTable::Register(std::string library, std::string name, NativeFunction function) {
  for (Entry& e : entries_) {
    if (SameName(LibraryStem(e.library), LibraryStem(library)) && SameName(e.name, name)) {
      e.function = std::move(function);
      return;
    }
  }
  entries_.push_back({std::move(library), std::move(name), std::move(function)});
}

const NativeFunction* NativeTable::Find(std::string_view library, std::string_view name) const {
  for (const Entry& e : entries_) {
    if (SameName(LibraryStem(e.library), LibraryStem(library)) && SameName(e.name, name)) return &e.function;
  }
  return nullptr;
}

const NativeFunction* TimerEntry(std::string_view library, std::string_view name) {
  static const NativeFunction kFunctionTimer = FunctionTimer;
  static const NativeFunction kLineTimer = LineTimer;
  if (!SameName(LibraryStem(library), kTimerLibrary)) return nullptr;
  if (SameName(name, "KVXFunctionTimer")) return &kFunctionTimer;
  if (SameName(name, "KVXLineTimer")) return &kLineTimer;
  return nullptr;
}

}  // namespace quillet::lsrun
