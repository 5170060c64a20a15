// Running compiled LotusScript from where it lives in an open design note:
// an agent's action, a script library or database script item, or a piece of
// object code inside rich text (a button, a hotspot, a navigator shape).
// The note is only read; its items are never written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "config/status.h"
#include "sim/lsrun/runner.h"

namespace quillet {

// The module image of script item `itemName`: the data of each of its
// instances in stored order, type words dropped ("$AssistAction_Ex": the
// first instance only, its action prefix kept). kErrItemNotFound when the
// note has no such item.
[[nodiscard]] STATUS ReadScriptItemImage(NoteHandle note, std::string_view itemName, std::vector<uint8_t>& image);

// Runs the module of a script item (a library, a database script, an
// agent's action) with `options`.
RunResult RunNoteItem(NoteHandle note, std::string_view itemName, const RunOptions& options);

// Runs an agent's code as the runtime finds it: "$AgentHScript_O" when the
// code was too large for the action item, else "$AssistAction_Ex".
RunResult RunAgent(NoteHandle note, const RunOptions& options);

// A piece of object code met in a rich-text item, named by its code location
// ("Button\Script", "Rectangle 'Home'\Script").
struct NoteCodePiece {
  std::string place;
  std::vector<uint8_t> image;
};

// Every piece of object code of rich-text item `itemName`, in stored order;
// the record walk's failure status when the item cannot be read.
[[nodiscard]] Status32 ListObjectCode(NoteHandle note, std::string_view itemName, std::vector<NoteCodePiece>& pieces);

// Runs the `index`-th piece (0-based) of object code of `itemName` whose
// place is `place`, as ListObjectCode names it.
RunResult RunNoteObjectCode(NoteHandle note, std::string_view itemName, std::string_view place,
                            const RunOptions& options, size_t index = 0);

}  // namespace quillet
