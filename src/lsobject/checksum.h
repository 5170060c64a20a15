// The module checksum step: byte-wise reflected CRC-32 (polynomial 0xEDB88320)
// with no initial or final complement, so checksums of parts chain directly.
#pragma once

#include <cstdint>
#include <span>

namespace quillet {

// The CRC-32 polynomial in reflected bit order (x^32 implied).
inline constexpr uint32_t kModuleCrcPolynomial = 0xEDB88320u;

// crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF] for every byte, in order.
// Folds with carry-less multiplication where the CPU has it, else
// UpdateModuleCrcSliced; both give the same value for every input.
uint32_t UpdateModuleCrc(uint32_t crc, std::span<const uint8_t> bytes);

// The same step from tables, eight bytes at a time; runs on any CPU.
uint32_t UpdateModuleCrcSliced(uint32_t crc, std::span<const uint8_t> bytes);

// Whether this CPU has the carry-less multiply (and SSE4.1) the folding
// step needs; asked once.
bool CarrylessCrcAvailable();

// The same step folding 64 bytes at a time with carry-less multiplication,
// the tail of fewer than 16 bytes (and inputs under 64) from the tables.
// REQUIRES: CarrylessCrcAvailable().
uint32_t UpdateModuleCrcFolded(uint32_t crc, std::span<const uint8_t> bytes);

}  // namespace quillet
