// `quillet compile FILE.lss -o FILE.lso`: the simulated LotusScript compiler.
#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/quillet/commands.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {

void AddCompileCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("compile", "Compile LotusScript source (.lss) into a module image (.lso)");
  struct Options {
    std::string source;
    std::string output;
  };
  auto options = std::make_shared<Options>();
  cmd->add_option("FILE", options->source, "LotusScript source")->required();
  cmd->add_option("-o,--output", options->output, "module image to write")->required();
  cmd->callback([options, &exitCode] {
    std::vector<uint8_t> image;
    if (!CompileSourceFile("compile", options->source, image, exitCode)) return;
    std::string error;
    if (!WriteWholeFile(options->output, image, error)) {
      exitCode = Fail("compile", error);
      return;
    }
    std::printf("%s -> %s: %zu bytes\n", options->source.c_str(), options->output.c_str(), image.size());
    exitCode = kExitOk;
  });
}

}  // namespace quillet::tool
