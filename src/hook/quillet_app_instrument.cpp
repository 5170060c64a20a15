// CQuilletApp::InstrumentNote: the note-open hooks' way into the
// instrumentation of a design note.
#include <string>
#include <vector>

#include "hook/quillet_app.h"
#include "instrument/note_instrument.h"
#include "lsobject/script_items.h"

namespace quillet {

void CQuilletApp::InstrumentNote(NoteHandle note, int32_t flags) {
  try {
    std::vector<std::string> names;
    if (ListScriptItems(note, names) != kNoError) return;
    // The timer entries and the controller's report write read the same
    // context on other threads; they take Lock too.
    platform::LockHolder hold(Lock());
    ProfileRef profile = CurrentProfile();
    if (!IsServer()) RememberViewNote(note);
    if (!profile) return;
    for (const std::string& name : names) {
      try {
        (void)InstrumentItem(*profile, note, name, names, flags | InstrumentFlags());
      } catch (...) {
        // Out of memory inside one item: that item keeps its code (nothing is
        // stored before a module is complete) and the others go on.
      }
    }
  } catch (...) {
    // The host goes on opening the note whatever happened here.
  }
}

}  // namespace quillet
