// quillet: the command-line tool around the profiler library.
#include <cstdio>
#include <cstring>

#include "tools/quillet/commands.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fputs("usage: quillet <command> [options]\n\ncommands:\n  demo    show what the profiler library does\n",
               argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "demo") == 0) return quillet::tool::RunDemo(argc - 1, argv + 1);
  std::fprintf(stderr, "quillet: unknown command '%s' (see quillet --help)\n", argv[1]);
  return 2;
}
