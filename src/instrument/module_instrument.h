// Rewriting one compiled module so that its procedures and lines call the
// timer entry points, and registering the procedures it profiles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/status.h"
#include "instrument/item_context.h"
#include "lsobject/ls_script_module.h"
#include "timing/profile_app.h"

namespace quillet {

// Rewrites `module` in memory with the flags of `context`: the timer class
// and declarations first, then, in listing order, entry code and line calls
// for every profiled procedure, each of which is registered in the profile's
// data. A procedure that cannot be rewritten keeps the code it had, gets a
// warning in profile.Messages (none for the timer class's own "::NEW" and
// "::DELETE") and the others go on; so does a procedure whose code shares
// bytes with another's (0x12703, "Could not load function"). Returns 0, or the
// module-level failure of BuildTimerClass, or 0x12704 when the labels cannot
// be moved to the new code, or 0x10857 when the byte code refuses the new
// code, or 0x12703 when a listed procedure whose code decoded would no longer
// decode at its new offset, or 0x12707 when the rewritten module would not be
// read back or not be known as rewritten (both only in damaged modules:
// entries the rewrite cannot move consistently, or added entries linked into
// damaged scope chains). After a failure (or an exception) every section of the module is as
// it was before the call: it serialises to the same bytes.
// The four handle fields of `profile` are expected at -1 for a new module.
[[nodiscard]] Status32 InstrumentModule(CLSScriptModule& module, const ItemContext& context, CLSProfileApp& profile);

// Registers every listed procedure of a module that was rewritten earlier,
// without rewriting anything.
void RegisterModule(CLSScriptModule& module, const ItemContext& context, CLSProfileApp& profile);

// Adds (or replaces) the description of `procedure` keyed by the module key
// and its handle; the timer class's own procedures are skipped.
void RegisterProcedure(CLSScriptModule& module, const ProcedureDescriptor& procedure, const ItemContext& context,
                       CLSProfileApp& profile);

// Whether the procedure is rewritten at all: not a procedure of the timer
// class, with code, and not "BINDEVENTS" while FilterBindEvents is set.
bool IsProfiledProcedure(CLSScriptModule& module, const ProcedureDescriptor& procedure, const CLSProfileApp& profile);

// Whether the module carries the timer class already, i.e. was rewritten before.
bool IsInstrumentedModule(CLSScriptModule& module);

// The module key: the checksum word the module was loaded with (the first
// four bytes of its symbol data), 0 when there are none.
uint32_t ModuleKey(CLSScriptModule& module);

// Appends the catalogue text of `code` with `argument` in place of its "%s".
void AddInstrumentMessage(CLSProfileApp& profile, Status32 code, std::string_view argument);

}  // namespace quillet
