// Instrumentation of an opened agent note on a server: every item of the
// note that holds a whole compiled module (data type 20) is rewritten in
// memory for the calling thread's profile context.
#pragma once

#include <cstdint>

#include "config/notes_api.h"
#include "hook/quillet_app.h"

namespace quillet {

// An agent's code item that does not hold a module the profiler can read.
inline constexpr Status32 kErrAgentCodeUnreadable = 0x10B15;

// Rewrites the note's module items with `flags` OR the application's
// InstrumentFlags; a module rewritten before is only registered. Returns the
// first failure: kErrAgentCodeUnreadable for an item that does not parse,
// the instrumentation's status for a module it refuses, or the item write's
// status. An item that fails keeps its original value.
// REQUIRES: app.Lock(), and a current profile context.
[[nodiscard]] Status32 InstrumentAgentNote(CQuilletApp& app, NoteHandle note, int32_t flags);

}  // namespace quillet
