// Rewriting the script items of an opened agent note for the calling
// thread's profile context, with the failures a server reports.
#include "hook/agent_instrument.h"

#include <string>
#include <vector>

#include "config/host_text.h"
#include "instrument/note_instrument.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/script_items.h"

namespace quillet {
namespace {

bool IsRichTextItem(std::string_view name) {
  return HostCompare(name, "$Body", kCompareNoCase) == 0 || HostCompare(name, "$ViewMapLayout", kCompareNoCase) == 0;
}

// The note instrumentation leaves an item that does not load as it is; a
// server says so, since the agent's run would never end in a report.
bool LoadsAsModule(NoteHandle note, const std::string& name) {
  CLSScriptModule module;
  return module.LoadFromNote(note, name);
}

}  // namespace

Status32 InstrumentAgentNote(CQuilletApp& app, NoteHandle note, int32_t flags) {
  ProfileRef profile = app.CurrentProfile();
  if (!profile) return kErrProfilerNotEnabled;
  std::vector<std::string> names;
  if (STATUS listed = ListScriptItems(note, names); listed != kNoError) return listed;
  Status32 first = kNoError;
  for (const std::string& name : names) {
    const Status32 status = IsRichTextItem(name) || LoadsAsModule(note, name)
                                ? InstrumentItem(*profile, note, name, names, flags | app.InstrumentFlags())
                                : kErrAgentCodeUnreadable;
    if (first == kNoError) first = status;
  }
  return first;
}

}  // namespace quillet
