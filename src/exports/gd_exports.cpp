// The re-exported libgd functions: each forwards to libgd's own definition.
// ELF cannot re-export another library's symbol, so every name is defined here
// and resolved once, by name, in the objects loaded after this one (libgd).
#include <dlfcn.h>
#include <gd.h>

#include <cstdio>

namespace {

void* ResolveGd(const char* name) { return dlsym(RTLD_NEXT, name); }

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
