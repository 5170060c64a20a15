// The display title of a design note, as the log and the tool show it.
#pragma once

#include <string>
#include <string_view>

#include "config/notes_api.h"

namespace quillet {

inline constexpr char kDocumentTitleItem[] = "$KVXTitle";
inline constexpr char kConflictItem[] = "$Conflict";

// Replaces `text` by the title of `note`: the kind's name for the icon and
// help notes; "$KVXTitle" for documents, the profile name for profile
// documents and "$TITLE" for all others, each item rendered as one line
// ("|" between values); file-like kinds (XPage, Composite Application to
// Properties File) lose the part from their last "."; a note in conflict
// gets " (**Save Conflict**)".
void GetDesignTitle(NoteHandle note, std::string& text);

// The profile name held in a profile document's "$Name": after the first
// "_", a three-digit length n and n characters of name; when more follows,
// " - " and the rest after one separator character (the user). Empty when
// there is no "_" or n is not positive.
std::string ProfileNameFromName(std::string_view name);

}  // namespace quillet
