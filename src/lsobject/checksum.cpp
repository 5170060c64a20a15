// Table-driven reflected CRC-32 step used by the module checksum.
#include "lsobject/checksum.h"

#include <array>

namespace quillet {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    table[i] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeTable();

}  // namespace

uint32_t UpdateModuleCrc(uint32_t crc, std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) crc = (crc >> 8) ^ kCrcTable[(crc ^ b) & 0xFF];
  return crc;
}

}  // namespace quillet
