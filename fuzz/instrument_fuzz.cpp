// Module images through InstrumentModule under one of several flag sets (the
// first input byte picks it): a rewritten module parses, serialises stably,
// is known as rewritten and leaves no procedure undecodable that decoded
// before; a refused module is left as it was: it serialises to the bytes it
// did before.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "instrument/item_context.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "timing/profile_app.h"
#include "tools/quillet/module_disasm.h"

namespace {

using namespace quillet;
using namespace quillet::instrument_flags;

// Procedures only, lines, both, both with the client's own flags, lines
// switched off again, and the end-of-run calls.
constexpr int32_t kFlagSets[] = {kTimeProcedures,
                                 kTimeLines,
                                 kTimeProcedures | kTimeLines,
                                 kTimeProcedures | kTimeLines | 0x50,
                                 kTimeProcedures | kTimeLines | kNoLines,
                                 kTimeProcedures | kTimeLines | kEndRunAtInitialize,
                                 kTimeProcedures | kEndRunAtTerminate};

size_t Undecodable(CLSScriptModule& module) {
  size_t count = 0;
  for (const auto& procedure : tool::DisassembleProcedures(module))
    if (!procedure["decoded"].get<bool>()) ++count;
  return count;
}

}  // namespace

namespace quillet::fuzz {

int Instrument(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  NeedHost();  // the host's text services and message catalogue
  const int32_t flags = kFlagSets[data[0] % (sizeof kFlagSets / sizeof kFlagSets[0])];
  const std::span<const uint8_t> image(data + 1, size - 1);

  CLSScriptModule module;
  if (!module.Parse(image)) return 0;
  if (IsInstrumentedModule(module)) return 0;
  CLSScriptModule original;
  FUZZ_CHECK(original.Parse(image));
  const size_t undecodableBefore = Undecodable(original);

  CLSProfileApp profile("nquillet", "", flags);
  ItemContext context;
  context.DatabasePath = "fuzz/profiled.nsf";
  context.Flags = flags;
  context.ItemName = "$ScriptLib_O";
  context.Title = "fuzz";
  module.ItemInfo().ItemName = context.ItemName;
  const Status32 status = InstrumentModule(module, context, profile);
  const std::vector<uint8_t> after = module.Serialize();
  if (status != 0) {
    FUZZ_CHECK(after == original.Serialize());
    return 0;
  }
  CLSScriptModule rewritten;
  FUZZ_CHECK(rewritten.Parse(after));
  FUZZ_CHECK(rewritten.Serialize() == after);
  FUZZ_CHECK(IsInstrumentedModule(rewritten));  // else every open would rewrite it again
  FUZZ_CHECK(Undecodable(rewritten) <= undecodableBefore);
  return 0;
}

}  // namespace quillet::fuzz

QUILLET_FUZZ_ENTRY(Instrument)
