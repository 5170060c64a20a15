// Checking the script items of an agent note after its instrumentation.
#include "hook/agent_instrument.h"

#include <string>
#include <vector>

#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/script_items.h"

namespace quillet {

Status32 CheckAgentInstrumented(NoteHandle note) {
  std::vector<std::string> names;
  if (STATUS listed = ListScriptItems(note, names); listed != kNoError) return listed;
  for (const std::string& name : names) {
    // Rich text carries pieces of code among other records; an agent has none.
    if (IsRichTextScriptItem(name)) continue;
    CLSScriptModule module;
    if (!module.LoadFromNote(note, name)) return kErrAgentCodeUnreadable;
    if (!IsInstrumentedModule(module)) return kErrAgentNotInstrumented;
  }
  return kNoError;
}

}  // namespace quillet
