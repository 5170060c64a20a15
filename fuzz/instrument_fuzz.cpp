// Module images through InstrumentModule under one of several flag sets (the
// first input byte picks it): a rewritten module parses, serialises stably and
// leaves no procedure undecodable that decoded before; a refused module still
// serialises to an image that parses. (A refused module may keep the timer
// class added before the refusal: callers drop refused modules.)
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "instrument/item_context.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/scoped_sim_host.h"
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The host's text services and message catalogue, made once.
  static sim::ScopedSimHost* host = new sim::ScopedSimHost();
  static_cast<void>(host);
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
    CLSScriptModule refused;
    FUZZ_CHECK(refused.Parse(after));
    return 0;
  }
  CLSScriptModule rewritten;
  FUZZ_CHECK(rewritten.Parse(after));
  FUZZ_CHECK(rewritten.Serialize() == after);
  FUZZ_CHECK(Undecodable(rewritten) <= undecodableBefore);
  return 0;
}
