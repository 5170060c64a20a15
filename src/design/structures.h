// Fixed on-disk structures by structure code. Notes-defined codes (up to
// kLastNotesStructureCode) are sized and converted by the host; the
// library's own codes above it have sizes from its table and the same bytes
// in both forms.
#pragma once

#include <cstdint>
#include <span>

#include "config/notes_api.h"

namespace quillet {

// The library's own structure codes that the composite-data records use.
inline constexpr uint16_t kStructLsObject = 482;
inline constexpr uint16_t kStructEmbeddedObject = 516;  // hotspot embedded-object block
inline constexpr uint16_t kStructEmbeddedParameter = 517;  // one parameter of an embedded object
inline constexpr uint16_t kStructEvent = 637;

// The sizes of `code` in both forms; kErrUnknownStructure for a code neither
// the host nor the library defines.
[[nodiscard]] Status32 StructureSize(uint16_t code, StructureSizes& sizes);
// Writes the on-disk form of the structure whose host form starts `host` to
// the start of `disk`; kErrBufferTooSmall when either is too short.
[[nodiscard]] Status32 StructureToDisk(uint16_t code, std::span<const uint8_t> host, std::span<uint8_t> disk);
// Writes the host form of the structure whose on-disk form starts `disk` to
// the start of `host`; kErrBufferTooSmall when either is too short.
[[nodiscard]] Status32 StructureFromDisk(uint16_t code, std::span<const uint8_t> disk, std::span<uint8_t> host);

}  // namespace quillet
