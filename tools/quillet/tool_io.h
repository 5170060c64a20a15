// File access of the tool: whole files in and out, with a readable reason on failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::tool {

// Files larger than this are refused rather than read into memory.
inline constexpr uint64_t kMaxInputBytes = 256ull << 20;

[[nodiscard]] bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
[[nodiscard]] bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
[[nodiscard]] bool WriteWholeFile(const std::string& path, std::string_view text, std::string& error);

// Whether a file can be made or replaced at `path`, for a file another part
// writes later (the library's report). False with "path: reason" when `path`
// is a folder or its folder is missing or not writable. Leaves nothing behind.
[[nodiscard]] bool CheckWritable(const std::string& path, std::string& error);

// Prints "quillet <command>: <message>" on stderr and returns kExitFailed.
int Fail(std::string_view command, std::string_view message);

}  // namespace quillet::tool
