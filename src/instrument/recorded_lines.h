// Where the line numbers the line timer records for a procedure stand in its
// source file: the line base the rewrite counts each procedure's lines from.
#pragma once

#include <cstdint>

#include "instrument/instrument_lines.h"
#include "lsobject/ls_script_module.h"

namespace quillet {

// The base of procedure `p`'s line arguments: a module-level procedure's
// entry of the function line-number table, a class member's entry of key 0;
// open (taken from the first timed line) for a module-level procedure
// without an entry.
LineBase ProcedureLineBase(CLSScriptModule& module, const ProcedureDescriptor& p);

// What to add to a line number recorded for procedure handle `procedure`
// of `module` (the module as it was before the rewrite) to get the line of
// its source, as the rewrite numbered them. False when the module lists no
// procedure of that handle with code, or, for an open base, when its code
// does not decode or has no timed line; nothing is thrown.
[[nodiscard]] bool RecordedLineOffset(CLSScriptModule& module, uint32_t procedure, int32_t& offset) noexcept;

}  // namespace quillet
