// Whether an opened agent note came out of the note instrumentation
// rewritten: a server reports an agent it could not profile, since that
// agent's run would never end in a report.
#pragma once

#include "config/notes_api.h"

namespace quillet {

// An agent's script item that does not load as a module.
inline constexpr Status32 kErrAgentCodeUnreadable = 0x10B15;
// An agent's module that the instrumentation left as it was.
inline constexpr Status32 kErrAgentNotInstrumented = 0x10B16;

// 0 when every script item of `note` outside rich text holds a rewritten
// module; else kErrAgentCodeUnreadable or kErrAgentNotInstrumented for the
// first that does not, or the item listing's failure.
[[nodiscard]] Status32 CheckAgentInstrumented(NoteHandle note);

}  // namespace quillet
