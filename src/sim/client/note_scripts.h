// The compiled LotusScript a simulated client runs from an open note, read
// the way the Notes runtime reads it: whole modules from script items (a
// module may span several items of one name) and button code from the
// records of the note's rich-text body.
#pragma once

#include <string>
#include <vector>

#include "config/notes_api.h"

namespace quillet::sim {

struct NoteScript {
  std::string itemName;
  std::vector<uint8_t> image;
};

// Script items in the order they first occur, then the body's code pieces in
// record order. A record that does not fit its value ends the body's list;
// the status of a failing item scan is returned.
[[nodiscard]] STATUS ReadNoteScripts(NotesApi& host, NoteHandle note, std::vector<NoteScript>& scripts);

}  // namespace quillet::sim
