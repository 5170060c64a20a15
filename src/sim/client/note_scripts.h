// The compiled LotusScript a simulated client runs from an open note, read
// the way the Notes runtime reads it: whole modules from script items (a
// module may span several items of one name) and the pieces of object code
// in rich text ("$Body", "$ViewMapLayout": buttons, hotspots, shapes).
#pragma once

#include <string>
#include <vector>

#include "config/notes_api.h"

namespace quillet::sim {

struct NoteScript {
  std::string itemName;
  std::vector<uint8_t> image;
};

// The note's script items in ascending name order (ignoring case), each
// rich-text item's pieces in record order. The first failing read's status
// is returned; `scripts` is then empty.
[[nodiscard]] Status32 ReadNoteScripts(NoteHandle note, std::vector<NoteScript>& scripts);

}  // namespace quillet::sim
