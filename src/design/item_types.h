// The item data-type words the design-note reading tells apart (the others,
// text, text list, composite and LotusScript object, are in notes_api.h).
#pragma once

#include <cstdint>

namespace quillet {

inline constexpr uint16_t kTypeCollation = 0x0002;
inline constexpr uint16_t kTypeViewFormat = 0x0005;
inline constexpr uint16_t kTypeIcon = 0x0006;
inline constexpr uint16_t kTypeQuery = 0x000F;
inline constexpr uint16_t kTypeAction = 0x0010;
inline constexpr uint16_t kTypeViewMapDataset = 0x0012;
inline constexpr uint16_t kTypeViewMapLayout = 0x0013;
inline constexpr uint16_t kTypeOutline = 0x001A;
inline constexpr uint16_t kTypeFormula = 0x0600;

// Whether values of `type` are read as records.
constexpr bool IsCompositeType(uint16_t type) {
  return type == 0x0001 || type == kTypeQuery || type == kTypeAction || type == kTypeViewMapDataset ||
         type == kTypeViewMapLayout || type == kTypeOutline;
}

}  // namespace quillet
