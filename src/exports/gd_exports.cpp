// The re-exported libgd functions: each forwards to libgd's own definition.
// ELF cannot re-export another library's symbol, so every name is defined here
// and resolved once, by name, inside libgd itself.
#include <dlfcn.h>
#include <gd.h>

#include <cstdio>

namespace {

// libgd as loaded with this library, found through a function of it that we
// do not define ourselves. A search of the process's scopes could find our
// own definition first, or miss libgd when the host loads us locally.
void* LibgdHandle() {
  static void* const handle = [] () -> void* {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&gdMajorVersion), &info) == 0 || info.dli_fname == nullptr) return nullptr;
    return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  }();
  return handle;
}

void* ResolveGd(const char* name) {
  void* handle = LibgdHandle();
  return handle == nullptr ? nullptr : dlsym(handle, name);
}

}  // namespace

extern "C" {

// An unresolved function does nothing and answers the zero value of its type;
// libgd is linked, so this stays theoretical.
#define GD_FORWARD(ret, name, params, args)                                          \
  ret name params {                                                                 \
    using Result = ret;                                                             \
    static const auto real = reinterpret_cast<decltype(&::name)>(ResolveGd(#name)); \
    if (real == nullptr) return Result();                                           \
    return real args;                                                               \
  }
#include "exports/gd_exports.def"
#undef GD_FORWARD

// Anti-aliased blending is done while drawing; this entry is kept for callers
// of the old interface and does nothing.
void gdImageAABlend(gdImagePtr) {}

}  // extern "C"
