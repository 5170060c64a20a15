// Runner natives that route a rewritten module's timer declarations to the
// library's timer entry points in this process, as the loaded library would.
#pragma once

#include "sim/lsrun/runner.h"

namespace quillet::kit {

// Registers "KVXFunctionTimer" and "KVXLineTimer" of "nquillet" in
// `options.natives`, forwarding each call with its 16-bit argument words.
void RouteTimerEntries(RunOptions& options);

}  // namespace quillet::kit
