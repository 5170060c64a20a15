// The module path: a whole module loaded from its script item, rewritten,
// and stored back into the note in memory.
#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "instrument/note_paths.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/module_text.h"

namespace quillet {

Status32 InstrumentScriptItem(CLSProfileApp& profile, NoteHandle note, ItemContext& context) {
  const NotesModuleText text(Notes());
  CLSScriptModule module(text);
  ResetSymbolHandles(profile);
  if (!module.LoadFromNote(note, context.ItemName)) return kNoError;  // the item stays as it was
  if (IsInstrumentedModule(module)) {
    RegisterModule(module, context, profile);
  } else {
    // A failed rewrite may have left half a timer class in the module: it is
    // dropped, and the note keeps the code it had.
    if (const Status32 failed = InstrumentModule(module, context, profile)) return failed;
    const bool leaveUnsigned = (context.Flags & instrument_flags::kLeaveUnsigned) != 0;
    if (const Status32 status = module.SaveToNote(note, context.ItemName, leaveUnsigned)) return status;
  }
  RemapModuleKey(profile, note, module);
  return kNoError;
}

}  // namespace quillet
