// Builds well-formed compiled-module images from a compact description, the
// way the Notes runtime writes them: records in their usual order, sections
// chunked in records of at most 4088 data bytes, segments at their 64 KiB
// boundaries, sizes, format level and checksum filled in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quillet::sim {

using Bytes = std::vector<uint8_t>;
// A section's data, one entry per 64 KiB segment (each at most 0x10000 bytes).
using Segments = std::vector<Bytes>;

struct ModuleDescription {
  Bytes header = Bytes(300, 0);  // at least 300 bytes; size fields are filled in
  Segments strings;
  Segments symbols;  // the first segment's first four bytes receive the checksum
  Bytes byteCode;
  Segments extendedStrings;
  Segments extendedSymbols;
  Segments labelOffsets;
  Segments jumpTable;
  Segments productMacros;
  Segments lineNumbers;
  struct Unknown {
    uint16_t type;  // 2, 10 or 11
    Bytes body;
  };
  std::vector<Unknown> unknown;  // each type written in its usual place
  std::optional<uint32_t> actionFlags;  // set: an agent action prefix in front
  size_t chunk = 4088;    // data bytes per record
  bool consistent = true;  // fill in sizes, format level and checksum
};

// A segment of `size` bytes, byte i being (seed + i) & 0xFF.
Bytes Pattern(size_t size, uint8_t seed = 0);

// The image of `description`.
Bytes BuildModuleImage(const ModuleDescription& description);

// The module checksum of `description` as the image stores it.
uint32_t ModuleChecksum(const ModuleDescription& description);

}  // namespace quillet::sim
