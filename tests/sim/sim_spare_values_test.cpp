// The simulated host's store of deleted values' memory: best fit, no large
// buffer for a small value, and bounded.
#include "sim/sim_spare_values.h"

#include <gtest/gtest.h>

namespace quillet::sim {
namespace {

std::vector<uint8_t> Buffer(size_t capacity) {
  std::vector<uint8_t> buffer;
  buffer.reserve(capacity);
  buffer.assign(capacity / 2, 0xAB);
  return buffer;
}

TEST(SimSpareValues, TheSmallestBufferThatFitsIsTakenEmpty) {
  SimSpareValues spare;
  spare.Give(Buffer(1000));
  spare.Give(Buffer(400));
  spare.Give(Buffer(600));
  const std::vector<uint8_t> taken = spare.Take(500);
  EXPECT_TRUE(taken.empty());
  EXPECT_GE(taken.capacity(), 500u);
  EXPECT_LT(taken.capacity(), 1000u);
  EXPECT_EQ(spare.keptBuffers(), 2u);
  // 400 bytes do not fit 450; 1000 are more than twice 450.
  EXPECT_EQ(spare.Take(450).capacity(), 0u);
  EXPECT_EQ(spare.Take(10).capacity(), 0u) << "a small value never holds a large buffer";
  EXPECT_GE(spare.Take(1000).capacity(), 1000u);
  EXPECT_GE(spare.Take(300).capacity(), 300u);
  EXPECT_EQ(spare.keptBuffers(), 0u);
  EXPECT_EQ(spare.keptBytes(), 0u);
}

TEST(SimSpareValues, KeepsNoMoreThanItsLimits) {
  SimSpareValues spare;
  for (size_t i = 0; i < SimSpareValues::kKeptBuffers + 5; ++i) spare.Give(Buffer(16));
  EXPECT_EQ(spare.keptBuffers(), SimSpareValues::kKeptBuffers);
  SimSpareValues bytes;
  bytes.Give(Buffer(SimSpareValues::kKeptBytes + 1));
  bytes.Give(std::vector<uint8_t>());
  EXPECT_EQ(bytes.keptBuffers(), 0u);
  bytes.Give(Buffer(SimSpareValues::kKeptBytes - 8));
  bytes.Give(Buffer(16));
  EXPECT_EQ(bytes.keptBuffers(), 1u);
  EXPECT_LE(bytes.keptBytes(), SimSpareValues::kKeptBytes);
}

}  // namespace
}  // namespace quillet::sim
