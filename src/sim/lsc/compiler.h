// Public entry of the LotusScript subset compiler ("lsc"): source text in,
// complete object-module image out, or diagnostics with line and column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One diagnostic; line and column are 1-based positions in the source.
struct CompileError {
  int line = 0;
  int column = 0;
  std::string message;
};

// A compilation records at most this many errors and stops looking for more.
inline constexpr size_t kMaxCompileErrors = 100;

// Compiles `source`. On success returns true, fills `image` and leaves
// `errors` empty; otherwise returns false with at least one error and an
// empty image. Never throws.
bool CompileLotusScript(std::string_view source, std::vector<uint8_t>& image,
                        std::vector<CompileError>& errors);

}  // namespace quillet
