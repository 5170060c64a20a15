// Tests of the header update, checked by the test kit's independent reader.
#include <gtest/gtest.h>

#include "lsobject/ls_script_module.h"
#include "sim/module_builder.h"
#include "sim/module_reader.h"
#include "sim/string_table_builder.h"

namespace quillet {
namespace {

using sim::Bytes;
using sim::ModuleDescription;
using sim::Pattern;

ModuleDescription WithStrings(size_t headerLength, size_t stringBytes) {
  ModuleDescription d;
  d.header = Bytes(headerLength, 0);
  sim::NumberedStrings(stringBytes).Into(d);
  d.symbols = {Pattern(64, 2)};
  d.byteCode = Pattern(200, 3);
  return d;
}

std::string Problems(const Bytes& image) {
  std::string all;
  for (const std::string& p : sim::CheckModuleImage(image)) all += p + "; ";
  return all;
}

TEST(HeaderUpdate, ByteCodeOf64512BytesSwitchesToLevelFourWithSegmentRecords) {
  ModuleDescription d = WithStrings(512, 70000);
  d.byteCode = Pattern(64511, 3);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  Bytes out = module.Serialize();
  sim::ImageContents c;
  ASSERT_TRUE(sim::ReadModuleImage(out, c));
  EXPECT_EQ(LoadU16(&c.description.header[4]), 0);
  EXPECT_FALSE(c.stringSegmentRecord.has_value());
  EXPECT_EQ(Problems(out), "");

  ASSERT_EQ(module.ByteCode().InsertBytes(-1, Bytes{0}), 1);
  out = module.Serialize();
  ASSERT_TRUE(sim::ReadModuleImage(out, c));
  EXPECT_EQ(LoadU16(&c.description.header[4]), 4);
  EXPECT_EQ(LoadU16(&c.description.header[6]) & 0x0400, 0x0400);
  ASSERT_TRUE(c.stringSegmentRecord.has_value());
  EXPECT_EQ(*c.stringSegmentRecord, (std::vector<uint32_t>{static_cast<uint32_t>(d.strings[0].size()),
                                                           static_cast<uint32_t>(d.strings[1].size())}));
  EXPECT_EQ(c.symbolSegmentRecord, (std::vector<uint32_t>{64}));
  EXPECT_EQ(LoadU32(&c.description.header[344]), 64512u);
  EXPECT_EQ(Problems(out), "");
}

TEST(HeaderUpdate, WideBlockOnlyFrom512BytesAndCodeTableCountsFrom396) {
  for (size_t length : {300u, 400u, 512u}) {
    ModuleDescription d = WithStrings(length, 70000);
    const Bytes image = sim::BuildModuleImage(d);
    CLSScriptModule module;
    ASSERT_TRUE(module.Parse(image));
    // Stale values everywhere the update may write, and beyond.
    for (size_t at = 300; at + 4 <= length; at += 4) module.Header().SetU32(at, 0xA5A5A5A5u);
    module.Header().SetU16(header::kStringLength16, 1);
    module.StringTable().FindOrAddString("Added");
    const Bytes out = module.Serialize();
    EXPECT_EQ(Problems(out), "") << length;
    const CHeader& h = module.Header();
    EXPECT_EQ(h.U16(header::kStringLength16), static_cast<uint16_t>(module.StringTable().TotalSize()));
    // A 400-byte header without code tables keeps level and flags and counts 0.
    EXPECT_EQ(h.U16(header::kFormatLevel), 0) << length;
    if (length >= 396) {
      EXPECT_EQ(h.U32(header::kLabelOffsetCount), 0u);
      EXPECT_EQ(h.U32(header::kJumpCount), 0u);
    }
    if (length == 512) {
      EXPECT_EQ(h.U32(header::kStringLength32), static_cast<uint32_t>(module.StringTable().TotalSize()));
      EXPECT_EQ(h.U32(header::kStringSegmentCount), 2u);
      EXPECT_EQ(h.U32(header::kExtendedStringCount), static_cast<uint32_t>(module.StringTable().Extended().Length() / 4));
      EXPECT_EQ(h.U32(348), 0xA5A5A5A5u);  // room the update never writes
    } else if (length == 400) {
      EXPECT_EQ(h.U32(header::kStringLength32), 0xA5A5A5A5u);  // no 32-bit block below 512 bytes
    }
  }
}

TEST(HeaderUpdate, AddedStringsBeyondSixtyFourKilobytesSerialiseConsistently) {
  ModuleDescription d = WithStrings(512, 60000);
  d.jumpTable = {Pattern(16, 9)};
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  std::vector<uint16_t> handles;
  for (int i = 0; i < 2000; ++i) handles.push_back(module.StringTable().FindOrAddString("Added" + std::to_string(i)));
  ASSERT_GT(module.StringTable().SegmentCount(), 1);
  const Bytes out = module.Serialize();
  EXPECT_EQ(Problems(out), "");

  // Read -> write -> read: the image reproduces itself and keeps its strings.
  CLSScriptModule again;
  ASSERT_TRUE(again.Parse(out));
  EXPECT_EQ(again.Serialize(), out);
  for (int i = 0; i < 2000; i += 199)
    EXPECT_EQ(again.StringTable().GetText(handles[static_cast<size_t>(i)]), "Added" + std::to_string(i));
  uint16_t handle = 0;
  EXPECT_TRUE(again.StringTable().FindString("ADDED1999", handle));
  EXPECT_EQ(handle, handles.back());
}

TEST(HeaderUpdate, ChainHeadsOfEmptyBucketsAreEndMarks) {
  ModuleDescription d = WithStrings(300, 0);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  module.StringTable().FindOrAddString("A");  // hash 0x41, bucket 2
  module.Serialize();
  for (uint16_t b = 0; b < 7; ++b)
    EXPECT_EQ(module.Header().U16(header::kStringChainHeads + 2u * b), b == 0x41 % 7 ? 0 : 0xFFFF) << b;
}

}  // namespace
}  // namespace quillet
