// Tests of the record buffer: its bounds, failed appends that change
// nothing, padding, and fixed structures written through the host.
#include "design/record_buffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "design/design_messages.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Contents(const RecordBuffer& buffer) { return Bytes(buffer.bytes().begin(), buffer.bytes().end()); }

TEST(RecordBuffer, SegmentPresetHoldsExactly65404Bytes) {
  RecordBuffer buffer;
  const Bytes almost(RecordBuffer::kSegmentSize - 1, 0x11);
  ASSERT_EQ(buffer.Append(almost), kNoError);
  ASSERT_EQ(buffer.Append(Bytes{0x22}), kNoError);
  EXPECT_EQ(buffer.length(), 65404u);

  EXPECT_EQ(buffer.Append(Bytes{0x33}), kErrOutOfMemory);
  EXPECT_EQ(buffer.AppendZeros(1), kErrOutOfMemory);
  EXPECT_EQ(buffer.Reserve(65405), kErrOutOfMemory);
  ASSERT_EQ(buffer.length(), 65404u);
  EXPECT_EQ(buffer.bytes().back(), 0x22);
}

TEST(RecordBuffer, FailedAppendLeavesTheContentsAsTheyWere) {
  RecordBuffer buffer(8, 0, 8);
  ASSERT_EQ(buffer.Append(Bytes{1, 2, 3, 4, 5}), kNoError);
  EXPECT_EQ(buffer.Append(Bytes{6, 7, 8, 9}), kErrOutOfMemory);
  EXPECT_EQ(Contents(buffer), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(buffer.capacity(), 8u);
}

TEST(RecordBuffer, GrowsInStepsUpToItsMaximum) {
  RecordBuffer buffer(4, 10, 30);
  ASSERT_EQ(buffer.Append(Bytes{1, 2, 3}), kNoError);
  ASSERT_EQ(buffer.Append(Bytes(12, 9)), kNoError);
  EXPECT_EQ(buffer.capacity(), 24u);  // 4 -> 14 -> 24
  EXPECT_EQ(Contents(buffer).front(), 1) << "growing keeps what was written";
  ASSERT_EQ(buffer.AppendZeros(15), kNoError);
  EXPECT_EQ(buffer.capacity(), 30u) << "the last step stops at the maximum";
  EXPECT_EQ(buffer.Append(Bytes{1}), kErrOutOfMemory);
  EXPECT_EQ(buffer.length(), 30u);
}

TEST(RecordBuffer, PadEvenCountsFromTheGivenStart) {
  RecordBuffer buffer(16, 0, 16);
  ASSERT_EQ(buffer.Append(Bytes{1, 2, 3}), kNoError);
  ASSERT_EQ(buffer.PadEven(0), kNoError);
  EXPECT_EQ(Contents(buffer), (Bytes{1, 2, 3, 0}));
  ASSERT_EQ(buffer.PadEven(0), kNoError);
  EXPECT_EQ(buffer.length(), 4u) << "an even length gets nothing";
  ASSERT_EQ(buffer.PadEven(1), kNoError);
  EXPECT_EQ(Contents(buffer), (Bytes{1, 2, 3, 0, 0}));
}

TEST(RecordBuffer, PatchesOnlyWhatWasWritten) {
  RecordBuffer buffer(16, 0, 16);
  ASSERT_EQ(buffer.Append(Bytes{0, 0, 0, 0}), kNoError);
  buffer.PutU16(1, 0xBBAA);
  buffer.Truncate(3);
  EXPECT_EQ(Contents(buffer), (Bytes{0, 0xAA, 0xBB}));
  buffer.Truncate(10);
  EXPECT_EQ(buffer.length(), 3u);
}

class RecordBufferStructures : public ::testing::Test {
 protected:
  sim::ScopedSimHost host_;
};

TEST_F(RecordBufferStructures, NotesStructureIsWrittenInItsOnDiskSize) {
  RecordBuffer buffer(64, 0, 64);
  Bytes hotspot(12);
  for (size_t i = 0; i < hotspot.size(); ++i) hotspot[i] = static_cast<uint8_t>(i + 1);
  hotspot.push_back(0xEE);  // beyond the structure: not written
  ASSERT_EQ(buffer.Append(Bytes{9, 9}), kNoError);
  ASSERT_EQ(buffer.AppendStruct(230, hotspot), kNoError);
  EXPECT_EQ(buffer.length(), 2u + 12u);
  EXPECT_EQ(buffer.bytes()[13], 12);
}

TEST_F(RecordBufferStructures, PutStructRewritesAnEarlierHeader) {
  RecordBuffer buffer(64, 0, 64);
  const Bytes zeros(12, 0);
  ASSERT_EQ(buffer.AppendStruct(482, zeros), kNoError);  // the library's own code
  ASSERT_EQ(buffer.Append(Bytes{7, 7, 7}), kNoError);
  const Bytes header{0xB1, 0xFF, 15, 0, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD};
  ASSERT_EQ(buffer.PutStruct(0, 482, header), kNoError);
  Bytes expected = header;
  expected.insert(expected.end(), {7, 7, 7});
  EXPECT_EQ(Contents(buffer), expected);
}

TEST_F(RecordBufferStructures, UnknownCodesAndShortStructuresChangeNothing) {
  RecordBuffer buffer(64, 0, 64);
  ASSERT_EQ(buffer.Append(Bytes{1, 2}), kNoError);
  const Bytes structure(40, 0x55);
  EXPECT_EQ(buffer.AppendStruct(472, structure), kErrUnknownStructure) << "between the host's and the library's codes";
  EXPECT_EQ(buffer.AppendStruct(120, structure), kErrUnknownStructure) << "a Notes code the host does not define";
  EXPECT_EQ(buffer.AppendStruct(118, Bytes(35, 0)), kErrBufferTooSmall) << "a field structure is 36 bytes";
  EXPECT_EQ(buffer.AppendStruct(637, Bytes(31, 0)), kErrBufferTooSmall);
  EXPECT_EQ(Contents(buffer), (Bytes{1, 2}));
  host_->FailNext("StructureConvert", 0x0123);
  EXPECT_EQ(buffer.AppendStruct(113, structure), 0x0123u);
  EXPECT_EQ(buffer.length(), 2u);
}

}  // namespace
}  // namespace quillet
