// The subcommands of the quillet tool. Each Add function registers one
// subcommand; its callback stores the process exit code in `exitCode`.
#pragma once

namespace CLI {
class App;
}

namespace quillet::tool {

// Exit codes: 0 done, 1 the command failed (message on stderr), 2 bad usage.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

void AddReportCommand(CLI::App& app, int& exitCode);
void AddDiffCommand(CLI::App& app, int& exitCode);
void AddDumpCommand(CLI::App& app, int& exitCode);
void AddRoundtripCommand(CLI::App& app, int& exitCode);
void AddCompileCommand(CLI::App& app, int& exitCode);
void AddRunCommand(CLI::App& app, int& exitCode);
void AddInstrumentCommand(CLI::App& app, int& exitCode);
void AddInstrumentNoteCommand(CLI::App& app, int& exitCode);
void AddNoteItemsCommand(CLI::App& app, int& exitCode);
void AddMakeNoteCommand(CLI::App& app, int& exitCode);
void AddClientCommand(CLI::App& app, int& exitCode);
void AddServerCommand(CLI::App& app, int& exitCode);

}  // namespace quillet::tool
