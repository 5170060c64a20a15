// The marker a rewrite leaves in a note: a number item named by the new
// module checksum in upper-case hexadecimal followed by "_KVX". A note that
// carries one holds rewritten code in memory.
#pragma once

#include <string_view>

#include "config/notes_api.h"

namespace quillet {

inline constexpr std::string_view kRewriteMarkerSuffix = "_KVX";

// Whether `name` has the form of a marker item's name.
bool IsRewriteMarkerName(std::string_view name);

// Whether the note carries a marker item; false when its items cannot be read.
bool CarriesRewriteMarker(NoteHandle note);

}  // namespace quillet
