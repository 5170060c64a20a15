// `quillet dump FILE.lso` and `quillet roundtrip IN OUT`: a module's contents,
// and parse-and-serialise.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "lsobject/ls_script_module.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/module_dump.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

// Reads and parses a module file; on failure prints why and returns false.
bool LoadModule(const char* command, const std::string& path, CLSScriptModule& module, int& exitCode) {
  std::vector<uint8_t> image;
  std::string error;
  if (!ReadWholeFile(path, image, error)) {
    exitCode = Fail(command, error);
    return false;
  }
  ParseError refusal;
  if (!module.Parse(image, refusal)) {
    exitCode = Fail(command, path + ": " + ModuleRefusal(path, image, refusal.Text));
    return false;
  }
  return true;
}

}  // namespace

void AddDumpCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("dump", "Show a compiled module (.lso): header, sections, checksum, strings, "
                                             "symbols, procedures with disassembly, classes, declarations");
  auto file = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  cmd->add_option("FILE", *file, "compiled module image")->required();
  cmd->add_flag("--json", *json, "print the stable JSON form (see docs/cli.md)");
  cmd->callback([file, json, &exitCode] {
    CLSScriptModule module;
    if (!LoadModule("dump", *file, module, exitCode)) return;
    std::string out;
    try {
      const nlohmann::ordered_json dump = DumpModule(module);
      out = *json ? dump.dump(2) + "\n" : RenderDumpText(dump);
    } catch (const std::exception& e) {
      exitCode = Fail("dump", *file + ": " + e.what());
      return;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    exitCode = kExitOk;
  });
}

void AddRoundtripCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("roundtrip", "Parse a module and serialise it again (header, sizes and "
                                                  "checksum recomputed)");
  auto in = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  cmd->add_option("IN", *in, "compiled module image")->required();
  cmd->add_option("OUT", *out, "where the serialised image goes")->required();
  cmd->callback([in, out, &exitCode] {
    CLSScriptModule module;
    if (!LoadModule("roundtrip", *in, module, exitCode)) return;
    const uint32_t before = module.SymbolTable().Length() >= 4 ? LoadU32(module.SymbolTable().Data().data()) : 0;
    const std::vector<uint8_t> image = module.Serialize();
    std::string error;
    if (!WriteWholeFile(*out, image, error)) {
      exitCode = Fail("roundtrip", error);
      return;
    }
    const uint32_t after = module.ComputeChecksum();
    std::printf("%s -> %s: %zu bytes, checksum %08X%s\n", in->c_str(), out->c_str(), image.size(), after,
                before == after ? "" : " (the stored checksum differed)");
    exitCode = kExitOk;
  });
}

}  // namespace quillet::tool
