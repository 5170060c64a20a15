// Reflected CRC-32 step used by the module checksum: eight bytes at a time
// from tables, and the choice between that and the carry-less folding.
#include "lsobject/checksum.h"

#include <array>
#include <cstddef>

#include "util/bytes.h"

namespace quillet {
namespace {

constexpr size_t kSlices = 8;

// Slice 0 is the published byte table; slice k gives the effect of a byte
// followed by k zero bytes, so eight table reads advance the CRC by eight
// bytes at once (slicing-by-8).
using SliceTables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr SliceTables MakeTables() {
  SliceTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (kModuleCrcPolynomial ^ (c >> 1)) : (c >> 1);
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t s = 1; s < kSlices; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  }
  return t;
}

constexpr SliceTables kTables = MakeTables();

uint32_t ByteStep(uint32_t crc, uint8_t b) { return (crc >> 8) ^ kTables[0][(crc ^ b) & 0xFF]; }

// Below this the folding's setup and final reduction cost more than they save.
constexpr size_t kFoldFrom = 128;

}  // namespace

uint32_t UpdateModuleCrcSliced(uint32_t crc, std::span<const uint8_t> bytes) {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  for (; n >= kSlices; n -= kSlices, p += kSlices) {
    // The first four bytes meet the running CRC; the last four enter fresh.
    const uint32_t low = crc ^ LoadU32(p);
    const uint32_t high = LoadU32(p + 4);
    crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
          kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
          kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
  }
  for (; n != 0; --n) crc = ByteStep(crc, *p++);
  return crc;
}

uint32_t UpdateModuleCrc(uint32_t crc, std::span<const uint8_t> bytes) {
  static const bool folding = CarrylessCrcAvailable();
  if (folding && bytes.size() >= kFoldFrom) return UpdateModuleCrcFolded(crc, bytes);
  return UpdateModuleCrcSliced(crc, bytes);
}

}  // namespace quillet
