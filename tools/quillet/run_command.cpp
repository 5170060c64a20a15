// `quillet run FILE.lss|FILE.lso`: runs a module in the simulated runner.
#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "sim/lsrun/runner.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {

void AddRunCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("run", "Run a module (source .lss or image .lso) in the simulated runner");
  struct Options {
    std::string file;
    std::string entry;
  };
  auto options = std::make_shared<Options>();
  cmd->add_option("FILE", options->file, "LotusScript source (.lss) or module image")->required();
  cmd->add_option("--entry", options->entry, "Sub to run instead of Initialize and Terminate");
  cmd->callback([options, &exitCode] {
    std::vector<uint8_t> image;
    if (!LoadModuleImage("run", options->file, image, exitCode)) return;
    RunOptions run;
    run.entry = options->entry;
    const RunResult result = RunModule(image, run);
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    std::fflush(stdout);
    if (!result.ok) {
      exitCode = Fail("run", options->file + ": " + result.error);
      return;
    }
    exitCode = kExitOk;
  });
}

}  // namespace quillet::tool
