// The library's timer entries as natives of the runner, so that rewritten
// LotusScript reaches them in this process wherever the runner's own lookup
// of the exported functions does not (a static Windows build).
#pragma once

#include "sim/lsrun/runner.h"

namespace quillet::sim {

// Registers "KVXFunctionTimer" and "KVXLineTimer" of "nquillet" in
// `options.natives`, each forwarding its 16-bit words to the entry point.
void AddTimerEntries(RunOptions& options);

}  // namespace quillet::sim
