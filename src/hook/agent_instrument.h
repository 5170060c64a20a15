// Instrumentation of an opened agent note on a server: every script item of
// the note is rewritten in memory for the calling thread's profile context.
#pragma once

#include <cstdint>

#include "config/notes_api.h"
#include "hook/quillet_app.h"

namespace quillet {

// An agent's code item that does not hold a module the profiler can read.
inline constexpr Status32 kErrAgentCodeUnreadable = 0x10B15;

// Rewrites the note's script items with `flags` OR the application's
// InstrumentFlags; a module rewritten before is only registered. Returns the
// first failure: kErrAgentCodeUnreadable for an item that does not load as a
// module, else the note instrumentation's status for the item (a refusal, a
// module it cannot rewrite, a failed write-back). REQUIRES: app.Lock().
[[nodiscard]] Status32 InstrumentAgentNote(CQuilletApp& app, NoteHandle note, int32_t flags);

}  // namespace quillet
