// `quillet instrument IN.lso OUT.lso`: the module instrumentation with a
// profile context of its own.
#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "instrument/item_context.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/scoped_sim_host.h"
#include "timing/profile_app.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/flags_option.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/profile_session.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

struct Options {
  std::string in;
  std::string out;
  std::string flags;
  uint32_t noteId = 0;
};

int Instrument(const Options& options) {
  int32_t flags = kDefaultProfileFlags;
  if (!options.flags.empty() && !ParseHexFlags(options.flags, flags))
    return Fail("instrument", "--flags takes a hexadecimal value up to FFFF, not \"" + options.flags + "\"");
  std::vector<uint8_t> image;
  std::string error;
  if (!ReadWholeFile(options.in, image, error)) return Fail("instrument", error);

  // The host's text services and message catalogue come from a simulated host.
  sim::ScopedSimHost host;
  const NotesModuleText text(host.host());
  CLSScriptModule module(text);
  ParseError refusal;
  if (!module.Parse(image, refusal))
    return Fail("instrument", options.in + ": " + ModuleRefusal(options.in, image, refusal.Text));
  if (IsInstrumentedModule(module)) return Fail("instrument", options.in + ": the module is instrumented already");

  CLSProfileApp profile("nquillet", "", flags);
  ItemContext context;
  context.DatabasePath = kProfiledDatabase;
  context.Flags = flags;
  context.NoteId = options.noteId;
  context.ItemName = "$ScriptLib_O";
  context.Title = options.in;
  module.ItemInfo().ItemName = context.ItemName;
  module.ItemInfo().NoteId = options.noteId;
  // The key the procedures are registered and timed under is the checksum
  // the module was loaded with; the rewritten module carries a new one.
  const uint32_t key = ModuleKey(module);
  const Status32 status = InstrumentModule(module, context, profile);
  for (const std::string& m : profile.Messages) std::printf("warning: %s\n", m.c_str());
  if (status != 0) {
    char text[80];
    std::snprintf(text, sizeof text, "the module could not be instrumented (status 0x%X)",
                  static_cast<unsigned>(status));
    return Fail("instrument", options.in + ": " + text);
  }
  const std::vector<uint8_t> rewritten = module.Serialize();
  if (!WriteWholeFile(options.out, rewritten, error)) return Fail("instrument", error);
  std::printf("%s -> %s: %zu procedures profiled, module key %08X, %zu -> %zu bytes\n", options.in.c_str(),
              options.out.c_str(), profile.Data.Procedures().size(), key, image.size(), rewritten.size());
  return kExitOk;
}

}  // namespace

void AddInstrumentCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("instrument", "Rewrite a module so that its procedures and lines call the "
                                                   "timer entry points; prints the warnings");
  auto options = std::make_shared<Options>();
  cmd->add_option("IN", options->in, "compiled module image")->required();
  cmd->add_option("OUT", options->out, "where the rewritten image goes")->required();
  cmd->add_option("--flags", options->flags, "instrumentation flags, hexadecimal (default 3: procedures and lines)")
      ->check(HexFlagsCheck());
  cmd->add_option("--note-id", options->noteId, "note ID recorded in the procedure descriptions");
  cmd->callback([options, &exitCode] { exitCode = Instrument(*options); });
}

}  // namespace quillet::tool
