// The two ways an item of a note is rewritten once its context is filled:
// a whole module from a script item, or the object code inside rich text.
#pragma once

#include "config/notes_api.h"
#include "config/status.h"
#include "instrument/item_context.h"
#include "timing/profile_app.h"

namespace quillet {

// Loads the module of item context.ItemName, rewrites it (or, when it was
// rewritten earlier, only registers it) and stores it back into the note in
// memory. A module that does not load is left alone (0). Returns the
// module rewrite's failure (the note untouched) or the write-back's status.
[[nodiscard]] Status32 InstrumentScriptItem(CLSProfileApp& profile, NoteHandle note, ItemContext& context);

// Hands every piece of object code in rich-text item context.ItemName to
// InstrumentCodeBlob. Returns kErrHotspotTooLarge when a blob kept its old
// bytes for want of room, else 0; a rich-text item that cannot be rewritten
// keeps its old instances.
[[nodiscard]] Status32 InstrumentRichTextItem(CLSProfileApp& profile, NoteHandle note, ItemContext& context);

}  // namespace quillet
