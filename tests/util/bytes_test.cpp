// Tests of the little-endian reader and writer.
#include "util/bytes.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(ByteReader, ReadsLittleEndianAndRefusesToPassTheEnd) {
  const uint8_t data[] = {0x34, 0x12,              // u16 0x1234
                          0x78, 0x56, 0x34, 0x12,  // u32 0x12345678
                          0xFF};
  ByteReader r(data);
  uint16_t a = 0;
  uint32_t b = 0;
  ASSERT_TRUE(r.ReadU16(a));
  ASSERT_TRUE(r.ReadU32(b));
  EXPECT_EQ(a, 0x1234);
  EXPECT_EQ(b, 0x12345678u);
  EXPECT_FALSE(r.ReadU16(a));  // one byte left
  EXPECT_EQ(r.pos(), 6u);      // a failed read does not move
  uint8_t c = 0;
  ASSERT_TRUE(r.ReadU8(c));
  EXPECT_EQ(c, 0xFF);
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteReader, SubReaderIsBoundedBySizeAndSeekChecksRange) {
  const uint8_t data[] = {1, 2, 3, 4, 5};
  ByteReader r(data);
  ByteReader sub({});
  ASSERT_TRUE(r.Sub(3, sub));
  EXPECT_EQ(sub.size(), 3u);
  uint32_t v = 0;
  EXPECT_FALSE(sub.ReadU32(v));
  EXPECT_FALSE(r.Sub(3, sub));  // only two left
  EXPECT_FALSE(r.Seek(6));
  EXPECT_TRUE(r.Seek(5));
  EXPECT_FALSE(r.Skip(static_cast<size_t>(-1)));
}

TEST(ByteWriter, ReservesThenPatches) {
  ByteWriter w;
  size_t at = w.ReserveU32();
  w.PutU16(0xBEEF);
  w.PatchU32(at, 0xA1B2C3D4);
  const std::vector<uint8_t> expected = {0xD4, 0xC3, 0xB2, 0xA1, 0xEF, 0xBE};
  EXPECT_EQ(w.bytes(), expected);
}

}  // namespace
}  // namespace quillet
