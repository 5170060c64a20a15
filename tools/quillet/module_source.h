// Where the commands get module images: compiled from source or read as images.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::tool {

// Compiles the LotusScript source file at `path`. On failure prints the
// diagnostics ("path:line:column: message") or the reason, sets `exitCode`
// and returns false.
bool CompileSourceFile(const char* command, const std::string& path, std::vector<uint8_t>& image, int& exitCode);
// The same for source text already read from `path` (named in the errors).
bool CompileSourceText(const char* command, const std::string& path, std::string_view source,
                       std::vector<uint8_t>& image, int& exitCode);

// Why `image` (read from `path`, "" when not known) is no module, from the
// parser's refusal: "not a compiled LotusScript module, or a damaged one
// (...)", and what to do instead when the file is LotusScript source or a
// report file.
std::string ModuleRefusal(const std::string& path, std::span<const uint8_t> image, const std::string& refusal);

// Whether `path` names a LotusScript source file (".lss", any case).
bool IsSourceName(const std::string& path);

// A ".lss" file (any case) is compiled; anything else is read as an image.
bool LoadModuleImage(const char* command, const std::string& path, std::vector<uint8_t>& image, int& exitCode);

}  // namespace quillet::tool
