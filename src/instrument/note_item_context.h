// Filling the item context of one note item from the note, its database and
// the profile context, with the refusals that come before any rewrite.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/notes_api.h"
#include "config/status.h"
#include "instrument/item_context.h"
#include "timing/profile_app.h"

namespace quillet {

// Host text limits of the item context.
inline constexpr size_t kContextTextMax = 255;  // database path, title

// Fills `context` for item `itemName` of `note`: the database path (network
// path when the profile has a server name; for a cache database the source
// database's path, note ID and sequence time from "$SourceDbPath",
// "$SourceURL" and "$SourceSeqTime"), then, unless `flags` has
// kSkipWatchChecks, refuses with kErrProfilerNotEnabled or
// kErrDatabaseNotWatched; then the database identity, the title ("$TITLE" or
// "(Untitled)") and the item name. Flags and DisplayName are left to the caller.
[[nodiscard]] Status32 FillItemContext(const CLSProfileApp& profile, NoteHandle note, std::string_view itemName,
                                       int32_t flags, ItemContext& context);

// The note ID named by a "$SourceURL" value: the hexadecimal number after its
// last "/". False (id unchanged) when there is no "/", no hexadecimal digit
// after it, or the number does not fit 32 bits.
bool SourceUrlNoteId(std::string_view url, uint32_t& id);

}  // namespace quillet
