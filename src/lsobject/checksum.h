// The module checksum step: byte-wise reflected CRC-32 (polynomial 0xEDB88320)
// with no initial or final complement, so checksums of parts chain directly.
#pragma once

#include <cstdint>
#include <span>

namespace quillet {

// crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF] for every byte, in order.
uint32_t UpdateModuleCrc(uint32_t crc, std::span<const uint8_t> bytes);

}  // namespace quillet
