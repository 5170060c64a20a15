// Files that hold secrets for a moment (an extracted ID file): created new,
// readable and writable by the process owner only.
#pragma once

#include <string_view>

namespace quillet::platform {

// Creates an empty file at `path` that only the process owner may read or
// write. False when the file exists already or cannot be created; an existing
// file is never opened, so a planted file or link is not reused.
bool CreatePrivateFile(std::u16string_view path);

}  // namespace quillet::platform
