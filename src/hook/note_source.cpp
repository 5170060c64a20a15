// The database a client note belongs to, through the design cache.
#include "hook/note_source.h"

#include "config/notes_services.h"

namespace quillet {

bool NoteSourcePath(DbHandle db, NoteHandle note, std::string& path) {
  NotesApi& notes = Notes();
  std::string canonical;
  if (notes.DbCanonicalPath(db, canonical) != kNoError) return false;
  if (IsCacheDatabase(canonical)) {
    std::string source;
    if (notes.ItemText(note, kSourceDbPathItem, source, kSourcePathMax + 1) != 0) canonical = std::move(source);
  }
  path = std::move(canonical);
  return true;
}

}  // namespace quillet
