// Tests of chunked multi-sections: reading, writing, growth, insertion, checksum.
#include "lsobject/multi_section.h"

#include <gtest/gtest.h>

#include "bytecode/opcode.h"
#include "lsobject/checksum.h"
#include "lsobject/code_tables.h"
#include "lsobject/string_table.h"
#include "lsobject/symbol_table.h"
#include "sim/module_builder.h"

namespace quillet {
namespace {

using sim::Bytes;
using sim::Pattern;

// One chunk record: u16 type, u16 4 + n, u32 offset, n data bytes.
Bytes Chunk(uint16_t type, uint32_t offset, const Bytes& data) {
  Bytes r;
  ByteWriter w(r);
  w.PutU16(type);
  w.PutU16(static_cast<uint16_t>(4 + data.size()));
  w.PutU32(offset);
  w.PutBytes(data);
  return r;
}

struct Record {
  uint16_t type;
  uint32_t offset;
  size_t size;
};

std::vector<Record> Records(const Bytes& image) {
  std::vector<Record> out;
  for (size_t p = 0; p + 8 <= image.size();) {
    const uint16_t length = LoadU16(&image[p + 2]);
    out.push_back({LoadU16(&image[p]), LoadU32(&image[p + 4]), length - 4u});
    p += 4 + length;
  }
  return out;
}

TEST(MultiSectionRead, AccumulatesChunksAndStartsSegmentsAtBoundaries) {
  CStringTable strings;
  Bytes image = Chunk(3, 0, Pattern(100));
  Bytes more = Chunk(3, 100, Pattern(50, 100));
  Bytes next = Chunk(3, 0x10000, Pattern(20, 7));
  image.insert(image.end(), more.begin(), more.end());
  const size_t nextAt = image.size();
  image.insert(image.end(), next.begin(), next.end());

  ASSERT_TRUE(strings.Read(image, 0));
  ASSERT_TRUE(strings.Read(image, 108));
  ASSERT_TRUE(strings.Read(image, nextAt));
  EXPECT_EQ(strings.SegmentSizes(), (std::vector<int32_t>{150, 20}));
  EXPECT_EQ(strings.Length(), 0x10000 + 20);
  EXPECT_EQ(strings.Data()[149], 149);
  EXPECT_EQ(strings.Data()[150], 0);  // padding up to the boundary
  EXPECT_EQ(strings.Data()[0x10000], 7);
}

TEST(MultiSectionRead, RefusesChunksOutOfOrderOverlappingOrOutsideTheirSegment) {
  const Bytes first = Chunk(5, 0, Pattern(100));
  struct Case {
    const char* what;
    Bytes record;
  } cases[] = {
      {"overlap", Chunk(5, 50, Pattern(10))},
      {"gap inside the segment", Chunk(5, 120, Pattern(10))},
      {"skips segment 1", Chunk(5, 0x20000, Pattern(10))},
      {"segment not at its boundary", Chunk(5, 0x10010, Pattern(10))},
      {"huge placement", Chunk(5, 0xFFFF0000u, Pattern(10))},
      {"body shorter than the offset", {5, 0, 2, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    CSymbolTable symbols;
    ASSERT_TRUE(symbols.Read(first, 0));
    EXPECT_FALSE(symbols.Read(c.record, 0)) << c.what;
    EXPECT_EQ(symbols.Length(), 100) << c.what;
    EXPECT_EQ(symbols.SegmentSizes(), (std::vector<int32_t>{100})) << c.what;
  }
  CSymbolTable symbols;
  EXPECT_FALSE(symbols.Read(Chunk(5, 4, Pattern(10)), 0)) << "first chunk must start the data";
  Bytes cut = Chunk(5, 0, Pattern(10));
  cut.pop_back();
  EXPECT_FALSE(symbols.Read(cut, 0)) << "record past the end";
  EXPECT_TRUE(symbols.Empty());
}

TEST(MultiSectionRead, ByteCodeRunsThroughSegmentBoundaries) {
  CByteCode code;
  const Bytes a = Chunk(4, 0, Bytes(0xFFF0, 1));
  const Bytes b = Chunk(4, 0xFFF0, Bytes(0x20, 2));
  ASSERT_TRUE(code.Read(a, 0));
  ASSERT_TRUE(code.Read(b, 0));
  EXPECT_EQ(code.SegmentSizes(), (std::vector<int32_t>{0x10010}));
  EXPECT_EQ(code.Length(), 0x10010);
}

TEST(MultiSectionWrite, ChunksAt4088AndJumpsToTheNextSegment) {
  CStringTable strings;
  ASSERT_TRUE(strings.SetData(Pattern(10000)));
  Bytes grown(strings.Data().begin(), strings.Data().end());
  const Bytes tail = Pattern(0xFFF9, 3);  // too much for segment 0
  grown.insert(grown.end(), tail.begin(), tail.end());
  ASSERT_TRUE(strings.SetData(grown));
  ASSERT_EQ(strings.SegmentSizes(), (std::vector<int32_t>{10000, 0xFFF9}));

  Bytes out;
  ByteWriter w(out);
  const int32_t written = strings.Write(w);
  EXPECT_EQ(written, static_cast<int32_t>(out.size()));
  const std::vector<Record> records = Records(out);
  ASSERT_EQ(records.size(), 3u + 17u);
  EXPECT_EQ(records[0].offset, 0u);
  EXPECT_EQ(records[1].offset, 4088u);
  EXPECT_EQ(records[2].offset, 8176u);
  EXPECT_EQ(records[2].size, 10000u - 8176u);
  EXPECT_EQ(records[3].offset, 0x10000u);
  EXPECT_EQ(records[4].offset, 0x10000u + 4088u);
  for (const Record& r : records) {
    EXPECT_EQ(r.type, 3);
    EXPECT_LE(r.size, 4088u);
  }
}

TEST(MultiSectionWrite, FullSegmentIsFollowedByTheNextBoundaryNotOneFurther) {
  // Segment 0 holds exactly 64 KiB, so segment 1 starts at 0x10000.
  Bytes image = Chunk(5, 0, Bytes(4, 0));
  for (uint32_t p = 4; p < 0x10000; p += 4000) {
    const Bytes c = Chunk(5, p, Bytes(std::min<uint32_t>(4000, 0x10000 - p), 1));
    image.insert(image.end(), c.begin(), c.end());
  }
  const Bytes last = Chunk(5, 0x10000, Pattern(30));
  image.insert(image.end(), last.begin(), last.end());
  CSymbolTable symbols;
  for (size_t p = 0; p < image.size(); p += 4 + LoadU16(&image[p + 2])) ASSERT_TRUE(symbols.Read(image, p));
  ASSERT_EQ(symbols.SegmentSizes(), (std::vector<int32_t>{0x10000, 30}));

  Bytes out;
  ByteWriter w(out);
  symbols.Write(w);
  CSymbolTable again;
  for (size_t p = 0; p < out.size(); p += 4 + LoadU16(&out[p + 2])) ASSERT_TRUE(again.Read(out, p));
  EXPECT_EQ(Records(out).back().offset, 0x10000u);
  EXPECT_TRUE(std::equal(again.Data().begin(), again.Data().end(), symbols.Data().begin(), symbols.Data().end()));
}

TEST(MultiSectionSetData, GrowthPastTheSegmentLimitStartsANewSegment) {
  CStringTable strings;
  ASSERT_TRUE(strings.SetData(Pattern(65500)));
  Bytes grown = Pattern(65500);
  const Bytes added = Pattern(100, 9);
  grown.insert(grown.end(), added.begin(), added.end());
  ASSERT_TRUE(strings.SetData(grown));
  EXPECT_EQ(strings.SegmentSizes(), (std::vector<int32_t>{65500, 100}));
  ASSERT_EQ(strings.Length(), 0x10000 + 100);
  EXPECT_EQ(strings.Data()[65499], Pattern(65500)[65499]);
  EXPECT_EQ(strings.Data()[65500], 0);
  EXPECT_EQ(strings.Data()[0x10000], 9);
  EXPECT_EQ(strings.Data()[0x10000 + 99], static_cast<uint8_t>(9 + 99));

  // Growth that stays below the limit stays in the segment.
  Bytes small(strings.Data().begin(), strings.Data().end());
  small.push_back(1);
  ASSERT_TRUE(strings.SetData(small));
  EXPECT_EQ(strings.SegmentSizes(), (std::vector<int32_t>{65500, 101}));
}

TEST(MultiSectionSetData, TakingTheBytesOverGivesWhatCopyingGives) {
  // The same growth, refused shrink and new segment, once copied and once moved in.
  Bytes grown = Pattern(65500);
  grown.resize(65600, 1);
  CStringTable copied, moved;
  ASSERT_TRUE(copied.SetData(std::span<const uint8_t>(Pattern(65500))));
  ASSERT_TRUE(moved.SetData(Pattern(65500)));
  ASSERT_TRUE(copied.SetData(std::span<const uint8_t>(grown)));
  ASSERT_TRUE(moved.SetData(Bytes(grown)));
  EXPECT_EQ(moved.SegmentSizes(), (std::vector<int32_t>{65500, 100}));
  EXPECT_EQ(moved.SegmentSizes(), copied.SegmentSizes());
  EXPECT_TRUE(std::equal(moved.Data().begin(), moved.Data().end(), copied.Data().begin(), copied.Data().end()));

  Bytes shrunk(moved.Data().begin(), moved.Data().end() - 101);
  EXPECT_FALSE(moved.SetData(std::move(shrunk)));
  EXPECT_EQ(moved.Length(), 0x10000 + 100);

  CByteCode code;
  Bytes bytes = Pattern(70000);
  const uint8_t* storage = bytes.data();
  ASSERT_TRUE(code.SetData(std::move(bytes)));
  EXPECT_EQ(code.Data().data(), storage);  // taken over, not copied
  EXPECT_EQ(code.SegmentSizes(), (std::vector<int32_t>{70000}));
}

TEST(MultiSectionSetData, ByteCodeIsNeverPadded) {
  CByteCode code;
  ASSERT_TRUE(code.SetData(Pattern(65500)));
  ASSERT_TRUE(code.SetData(Pattern(65600)));
  EXPECT_EQ(code.SegmentSizes(), (std::vector<int32_t>{65600}));
  EXPECT_EQ(code.Length(), 65600);
}

TEST(MultiSectionSetData, UnchangedLengthNearTheLimitAddsNoSegmentAndShrinkIsBounded) {
  CSymbolTable symbols;
  ASSERT_TRUE(symbols.Read(Chunk(5, 0, Bytes(0xFFFA, 1)), 0));
  Bytes same(symbols.Data().begin(), symbols.Data().end());
  same[10] = 2;
  ASSERT_TRUE(symbols.SetData(same));
  EXPECT_EQ(symbols.SegmentSizes(), (std::vector<int32_t>{0xFFFA}));
  EXPECT_EQ(symbols.Data()[10], 2);

  CStringTable strings;
  ASSERT_TRUE(strings.SetData(Pattern(65500)));
  Bytes grown = Pattern(65500);
  grown.resize(65600, 1);
  ASSERT_TRUE(strings.SetData(grown));  // segments {65500, 100}
  Bytes shrunk(strings.Data().begin(), strings.Data().end() - 101);
  EXPECT_FALSE(strings.SetData(shrunk));
  EXPECT_EQ(strings.Length(), 0x10000 + 100);
}

class EmitBytes : public COpCode {
 public:
  explicit EmitBytes(Bytes bytes) : bytes_(std::move(bytes)) {}
  int emit(std::vector<uint8_t>& buffer, int position) const override {
    if (buffer.size() < position + bytes_.size()) buffer.resize(position + bytes_.size());
    std::copy(bytes_.begin(), bytes_.end(), buffer.begin() + position);
    return static_cast<int>(bytes_.size());
  }

 private:
  Bytes bytes_;
};

TEST(MultiSectionInsert, InsertsEncodedInstructionsAtAPositionOrTheEnd) {
  CByteCode code;
  ASSERT_TRUE(code.SetData(Bytes{1, 2, 3, 4}));
  InstructionList list;
  list.push_back(std::make_unique<EmitBytes>(Bytes{0xA, 0xB}));
  list.push_back(std::make_unique<EmitBytes>(Bytes{0xC}));
  EXPECT_EQ(code.InsertCode(2, list), 3);
  EXPECT_EQ(Bytes(code.Data().begin(), code.Data().end()), (Bytes{1, 2, 0xA, 0xB, 0xC, 3, 4}));
  EXPECT_EQ(code.InsertCode(-1, list), 3);
  EXPECT_EQ(code.Length(), 10);
  EXPECT_EQ(code.Data()[7], 0xA);
  EXPECT_EQ(code.SegmentSizes(), (std::vector<int32_t>{10}));

  EXPECT_EQ(code.InsertBytes(11, Bytes{1}), -1);
  EXPECT_EQ(code.InsertBytes(-2, Bytes{1}), -1);
  EXPECT_EQ(code.Length(), 10);
}

TEST(MultiSectionInsert, InsertsBytesTakenFromTheSectionItself) {
  CByteCode code;
  ASSERT_TRUE(code.SetData(Bytes{1, 2, 3, 4, 5}));
  ASSERT_EQ(code.InsertBytes(-1, Bytes{6}), 1);  // grown, so the next insert fits in place
  // Taken from behind the place they go, where a move of the tail would reach them.
  const std::span<const uint8_t> own = code.Data().subspan(3, 2);
  EXPECT_EQ(code.InsertBytes(1, own), 2);
  EXPECT_EQ(Bytes(code.Data().begin(), code.Data().end()), (Bytes{1, 4, 5, 2, 3, 4, 5, 6}));
  EXPECT_EQ(code.SegmentSizes(), (std::vector<int32_t>{8}));

  // Growth past the segment limit still starts a segment, inserted mid-data or not.
  CSymbolTable near;
  ASSERT_TRUE(near.SetData(Pattern(65000)));
  EXPECT_EQ(near.InsertBytes(10, Pattern(1000, 5)), 1000);
  EXPECT_EQ(near.SegmentCount(), 2);
  EXPECT_EQ(near.Data()[10], Pattern(1000, 5)[0]);
}

TEST(MultiSectionChecksum, FoldsSegmentsAndSkipsTheSymbolChecksumWord) {
  CSymbolTable symbols;
  ASSERT_TRUE(symbols.SetData(Pattern(65000)));
  Bytes grown = Pattern(65000);
  const Bytes added = Pattern(1000, 5);
  grown.insert(grown.end(), added.begin(), added.end());
  ASSERT_TRUE(symbols.SetData(grown));
  ASSERT_EQ(symbols.SegmentCount(), 2);

  const Bytes first = Pattern(65000);
  uint32_t expected = UpdateModuleCrc(0x1234, std::span<const uint8_t>(first).subspan(4));
  expected = UpdateModuleCrc(expected, added);
  EXPECT_EQ(symbols.UpdateChecksum(0x1234), expected);

  symbols.MutableData()[0] ^= 0xFF;  // the checksum word itself
  EXPECT_EQ(symbols.UpdateChecksum(0x1234), expected);
  symbols.MutableData()[4] ^= 0xFF;
  EXPECT_NE(symbols.UpdateChecksum(0x1234), expected);
}

TEST(MultiSectionSegmentList, RecordsSizesOrTheLengthOfAnUnsegmentedSection) {
  CStringTable strings;
  ASSERT_TRUE(strings.SetData(Pattern(65500)));
  Bytes grown = Pattern(65500);
  grown.resize(65600, 0);
  ASSERT_TRUE(strings.SetData(grown));
  Bytes out;
  ByteWriter w(out);
  EXPECT_EQ(strings.WriteSegmentList(8, w), 16);
  EXPECT_EQ(out, (Bytes{8, 0, 12, 0, 0, 0, 0, 0, 0xDC, 0xFF, 0, 0, 100, 0, 0, 0}));

  CSymbolTable empty;
  Bytes none;
  ByteWriter w2(none);
  EXPECT_EQ(empty.WriteSegmentList(13, w2), 12);
  EXPECT_EQ(none, (Bytes{13, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ModuleCrc, IsTheUncomplementedCrc32Step) {
  const std::string text = "123456789";
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  // With the usual complements this is the published check value.
  EXPECT_EQ(UpdateModuleCrc(0xFFFFFFFFu, bytes) ^ 0xFFFFFFFFu, 0xCBF43926u);
  // Parts chain: folding in two steps equals folding at once.
  EXPECT_EQ(UpdateModuleCrc(UpdateModuleCrc(0, bytes.first(4)), bytes.subspan(4)), UpdateModuleCrc(0, bytes));
}

}  // namespace
}  // namespace quillet
