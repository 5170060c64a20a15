// Path rules of the simulated host: database paths relative to the data
// directory, network paths "server!!file", and file paths for attachments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet::sim {

inline constexpr std::string_view kNetworkSeparator = "!!";

// The local part of "server!!file" (the whole text when it has no server).
std::string_view LocalPart(std::string_view path);

// A database path as the host keeps it: relative to the data directory, "/"
// between components ("\" accepted), no empty or "." components. An absolute
// path inside `dataDir` is made relative. std::nullopt for an empty path, a
// ".." component or an absolute path outside the data directory.
std::optional<std::string> NormaliseDbPath(std::string_view path, std::string_view dataDir);

// The lookup key of a normalised path: paths compare ignoring ASCII case.
std::string PathKey(std::string_view normalised);

// A file path for attach, extract and ID files: relative paths are taken
// relative to the data directory (the simulated process's current directory).
std::string ResolveFilePath(std::string_view path, std::string_view dataDir);

}  // namespace quillet::sim
