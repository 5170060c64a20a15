// quillet: the command-line tool around the profiler library.
#include <cstdio>
#include <exception>

#include <CLI/CLI.hpp>

#include "tools/quillet/commands.h"

int main(int argc, char** argv) {
  using namespace quillet::tool;
  // Nothing may escape as a crash: usage errors and failures become an exit
  // code with a message on stderr.
  try {
    CLI::App app{"quillet: compile, inspect, run and profile LotusScript modules; read profiler reports"};
    app.require_subcommand(1, 1);
    int exitCode = kExitOk;
    AddReportCommand(app, exitCode);
    AddDiffCommand(app, exitCode);
    AddDumpCommand(app, exitCode);
    AddRoundtripCommand(app, exitCode);
    AddCompileCommand(app, exitCode);
    AddInstrumentCommand(app, exitCode);
    AddInstrumentNoteCommand(app, exitCode);
    AddRunCommand(app, exitCode);
    AddNoteItemsCommand(app, exitCode);
    AddClientCommand(app, exitCode);
    AddServerCommand(app, exitCode);

    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      return app.exit(e) == 0 ? kExitOk : kExitUsage;
    }
    return exitCode;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillet: internal error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "quillet: internal error\n");
  }
  return kExitFailed;
}
