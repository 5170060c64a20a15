// Database and file path normalisation for the simulated host.
#include "sim/sim_path.h"

#include <vector>

namespace quillet::sim {

namespace {
bool IsAbsolute(std::string_view path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
  return path.size() >= 2 && path[1] == ':';
}

bool StartsWithDir(std::string_view path, std::string_view dir) {
  if (dir.empty() || path.size() <= dir.size() || path.substr(0, dir.size()) != dir) return false;
  const char next = path[dir.size()];
  return next == '/' || next == '\\';
}
}  // namespace

std::string_view LocalPart(std::string_view path) {
  const size_t at = path.find(kNetworkSeparator);
  return at == std::string_view::npos ? path : path.substr(at + kNetworkSeparator.size());
}

std::optional<std::string> NormaliseDbPath(std::string_view path, std::string_view dataDir) {
  std::string_view dir = dataDir;
  while (!dir.empty() && dir.back() == '/') dir.remove_suffix(1);
  if (IsAbsolute(path)) {
    if (!StartsWithDir(path, dir)) return std::nullopt;
    path.remove_prefix(dir.size());
  }
  std::string result;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") return std::nullopt;
    if (!part.empty() && part != ".") {
      if (!result.empty()) result += '/';
      result += part;
    }
    start = end + 1;
  }
  if (result.empty()) return std::nullopt;
  return result;
}

std::string PathKey(std::string_view normalised) {
  std::string key(normalised);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

std::string ResolveFilePath(std::string_view path, std::string_view dataDir) {
  if (IsAbsolute(path) || dataDir.empty()) return std::string(path);
  std::string full(dataDir);
  if (full.back() != '/') full += '/';
  full += path;
  return full;
}

}  // namespace quillet::sim
