// Tests of the module checksum step against the plain byte-at-a-time CRC.
#include "lsobject/checksum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace quillet {
namespace {

// The reflected CRC-32 step computed bit by bit, without any table.
uint32_t BitwiseCrc(uint32_t crc, std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (0xEDB88320u ^ (crc >> 1)) : (crc >> 1);
  }
  return crc;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(n);
  for (uint8_t& b : out) b = static_cast<uint8_t>(random());
  return out;
}

// Every length up to a few words, at every start offset within a word, from
// several running values: the word-wise loop, its byte tail and the split
// between them all agree with the bitwise step.
TEST(ModuleChecksum, MatchesTheBitwiseStepAtEveryLengthAndAlignment) {
  const std::vector<uint8_t> bytes = RandomBytes(96, 7);
  const std::span<const uint8_t> all(bytes);
  for (uint32_t start : {0u, 0xFFFFFFFFu, 0x12345678u}) {
    for (size_t offset = 0; offset < 8; ++offset) {
      for (size_t length = 0; offset + length <= 80; ++length) {
        const auto part = all.subspan(offset, length);
        ASSERT_EQ(UpdateModuleCrc(start, part), BitwiseCrc(start, part))
            << "start " << start << " offset " << offset << " length " << length;
      }
    }
  }
}

TEST(ModuleChecksum, LargeInputsAndSplitsAgree) {
  const std::vector<uint8_t> bytes = RandomBytes(200'003, 11);
  const std::span<const uint8_t> all(bytes);
  const uint32_t whole = UpdateModuleCrc(0, all);
  EXPECT_EQ(whole, BitwiseCrc(0, all));
  for (size_t split : {size_t{1}, size_t{7}, size_t{4096}, size_t{99'999}}) {
    EXPECT_EQ(UpdateModuleCrc(UpdateModuleCrc(0, all.first(split)), all.subspan(split)), whole) << split;
  }
}

}  // namespace
}  // namespace quillet
