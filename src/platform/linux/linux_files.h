// File helpers shared by the Linux platform files (not part of the seam).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet::platform::linux_files {

// A seam path (UTF-16, '\' or '/' separators) as a Linux path (UTF-8, '/').
std::string NativePath(std::u16string_view path);

// The whole file; std::nullopt when it is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces (or creates) the file so that a concurrent reader sees either the
// old or the new contents, never a mixture: the contents go to a temporary
// file in the same directory, which is then renamed over the target. An
// existing file keeps its permission bits.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents);

}  // namespace quillet::platform::linux_files
