// Reading the runnable modules of an open note.
#include "sim/client/note_scripts.h"

#include "lsobject/script_items.h"
#include "sim/lsrun/note_runner.h"

namespace quillet::sim {

Status32 ReadNoteScripts(NoteHandle note, std::vector<NoteScript>& scripts) {
  scripts.clear();
  std::vector<std::string> names;
  if (STATUS status = ListScriptItems(note, names); status != kNoError) return status;
  std::vector<NoteScript> found;
  for (const std::string& name : names) {
    if (IsRichTextScriptItem(name)) {
      std::vector<NoteCodePiece> pieces;
      if (const Status32 status = ListObjectCode(note, name, pieces)) return status;
      for (NoteCodePiece& piece : pieces) found.push_back({name, std::move(piece.image)});
      continue;
    }
    std::vector<uint8_t> image;
    if (STATUS status = ReadScriptItemImage(note, name, image); status != kNoError) return status;
    found.push_back({name, std::move(image)});
  }
  scripts = std::move(found);
  return kNoError;
}

}  // namespace quillet::sim
