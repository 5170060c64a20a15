// Composite-data (rich-text) record headers as Notes stores them. The first
// word's high byte selects the header:
//   0xFF  word length:  u16 signature, u16 length            (4 bytes)
//   0x00  long length:  u16 signature, u32 length            (6 bytes)
//   other byte length:  u8 signature, u8 length               (2 bytes)
// The length counts the header and the record's data, not the pad byte that
// follows an odd length: every record starts on an even offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillet {

struct CompositeRecordHeader {
  uint16_t signature = 0;  // the word for word and long lengths, the low byte otherwise
  size_t headerSize = 0;
  size_t length = 0;       // header included
};

// The header of the record at the start of `bytes`; std::nullopt when the
// header or the length it gives runs past `bytes`, or the length is shorter
// than the header.
std::optional<CompositeRecordHeader> ReadCompositeHeader(std::span<const uint8_t> bytes);

}  // namespace quillet
