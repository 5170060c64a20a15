// `quillet demo`: walks through what the library does on the simulated host.
#include <cstdio>

#include "tools/quillet/commands.h"

namespace quillet::tool {

int RunDemo(int, char**) {
  std::puts("quillet demo: the profiler library was built (nquillet).");
  return 0;
}

}  // namespace quillet::tool
