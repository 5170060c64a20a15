// The name hash of the module's string chains (modulo 7) and symbol scopes
// (modulo 13).
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet {

inline constexpr uint16_t kStringChainCount = 7;
inline constexpr uint16_t kScopeBucketCount = 13;

// h = (h rotated left by one bit within 16 bits) XOR unit, over every code
// unit, from h = 0.
constexpr uint16_t NameHashStep(uint16_t h, uint16_t unit) {
  return static_cast<uint16_t>(((h << 1) | (h >> 15)) ^ unit);
}

constexpr uint16_t NameHash(std::u16string_view units) {
  uint16_t h = 0;
  for (char16_t u : units) h = NameHashStep(h, u);
  return h;
}

}  // namespace quillet
