// The text rules of profile (INI) files shared by both platform layers: what
// counts as blank around names and values, and which entries fit on a line.
#pragma once

#include <string_view>

namespace quillet::platform::profile_text {

// `text` without the blanks the profile API ignores around names and values.
std::string_view Trim(std::string_view text);

// Whether `key=value` under `[section]` can be written so that it reads back
// as written: no line breaks or NULs anywhere, no ']' in the section, a
// non-empty key without '=' that does not start with '['. The Windows API
// itself writes such entries and breaks the file; both layers refuse them.
bool EntryFits(std::u16string_view section, std::u16string_view key, std::u16string_view value);

}  // namespace quillet::platform::profile_text
