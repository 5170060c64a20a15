// quillet: the command-line tool around the profiler library.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

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
    AddMakeNoteCommand(app, exitCode);
    AddClientCommand(app, exitCode);
    AddServerCommand(app, exitCode);

    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      // A mistyped command would otherwise be told that a command is required.
      const std::vector<std::string> unknown = app.remaining();
      if (e.get_exit_code() != 0 && app.get_subcommands().empty() && !unknown.empty()) {
        const bool option = unknown.front().rfind('-', 0) == 0;
        std::fprintf(stderr, "quillet: unknown %s \"%s\"; quillet --help lists the commands\n",
                     option ? "option" : "command", unknown.front().c_str());
        return kExitUsage;
      }
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
