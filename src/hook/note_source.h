// Which database a note opened in the client belongs to: its own, or for a
// design note held in the client's design cache, the database it came from.
#pragma once

#include <string>

#include "config/notes_api.h"

namespace quillet {

// The item of a cached design note that names its source database.
inline constexpr std::string_view kSourceDbPathItem = "$SourceDbPath";
// The longest source path read from it, in bytes.
inline constexpr uint16_t kSourcePathMax = 255;

// The canonical path of `db`; when that is a design cache ("cache.dsk",
// "cache.ndk") and the note names its source database, that path instead.
// False (path unchanged) when the host cannot say what `db` is.
bool NoteSourcePath(DbHandle db, NoteHandle note, std::string& path);

}  // namespace quillet
