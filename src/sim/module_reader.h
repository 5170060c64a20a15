// Reads module images back and checks them, independently of the module code:
// the test kit's second opinion on what Serialize writes.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/module_builder.h"

namespace quillet::sim {

struct ImageContents {
  ModuleDescription description;  // sections as the records place them
  std::optional<std::vector<uint32_t>> stringSegmentRecord;  // type 8, when present
  std::optional<std::vector<uint32_t>> symbolSegmentRecord;  // type 13, when present
  std::vector<uint16_t> recordTypes;  // in image order
};

// False for an image the kit cannot read (truncated record, unknown type).
bool ReadModuleImage(std::span<const uint8_t> image, ImageContents& out);

// Every inconsistency found in `image`: header sizes and counts, format
// level, segment-size records, string entries and hash chains, checksum.
// Empty when the image is consistent.
std::vector<std::string> CheckModuleImage(std::span<const uint8_t> image);

}  // namespace quillet::sim
