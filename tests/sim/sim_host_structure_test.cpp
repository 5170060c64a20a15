// Tests of the simulated host's structure conversion: the packed sizes of
// the Notes structures and copies that never read or write past a buffer.
#include <gtest/gtest.h>

#include <vector>

#include "sim/scoped_sim_host.h"

namespace quillet::sim {
namespace {

StructureSizes SizesOf(NotesApi& api, uint16_t code) {
  StructureSizes sizes;
  EXPECT_EQ(api.StructureConvert(code, StructureForm::Host, {}, {}, sizes), kNoError) << code;
  return sizes;
}

TEST(SimStructures, KnowsThePackedSizesOfTheRecordStructures) {
  ScopedSimHost host;
  const std::pair<uint16_t, uint16_t> expected[] = {
      {113, 8},  {117, 43}, {118, 36},  {230, 12}, {237, 16}, {308, 12},  {320, 78},
      {325, 72}, {340, 22}, {347, 278}, {358, 14}, {373, 12}, {464, 80}, {471, 12}};
  for (auto [code, size] : expected) {
    const StructureSizes sizes = SizesOf(host.host(), code);
    EXPECT_EQ(sizes.onDisk, size) << code;
    EXPECT_EQ(sizes.host, size) << code << ": host form is the on-disk form";
  }
}

TEST(SimStructures, ConvertsByCopyingExactlyTheStructure) {
  ScopedSimHost host;
  std::vector<uint8_t> in(20);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(0xA0 + i);
  std::vector<uint8_t> out(20, 0);
  StructureSizes sizes;
  ASSERT_EQ(host->StructureConvert(342, StructureForm::OnDisk, in, out, sizes), kNoError);
  EXPECT_EQ(out, in);
  std::vector<uint8_t> wide(24, 0);
  ASSERT_EQ(host->StructureConvert(113, StructureForm::Host, in, wide, sizes), kNoError);
  EXPECT_EQ(std::vector<uint8_t>(wide.begin(), wide.begin() + 8), std::vector<uint8_t>(in.begin(), in.begin() + 8));
  EXPECT_EQ(wide[8], 0) << "nothing past the structure is written";
}

TEST(SimStructures, RefusesUnknownCodesAndShortBuffers) {
  ScopedSimHost host;
  std::vector<uint8_t> in(300), out(300);
  StructureSizes sizes;
  EXPECT_EQ(host->StructureConvert(114, StructureForm::Host, in, out, sizes), kErrUnknownStructure);
  EXPECT_EQ(host->StructureConvert(482, StructureForm::Host, in, out, sizes), kErrUnknownStructure)
      << "codes above 471 are the library's own";
  EXPECT_EQ(host->StructureConvert(347, StructureForm::Host, std::span(in).first(277), out, sizes),
            kErrBufferTooSmall);
  EXPECT_EQ(host->StructureConvert(347, StructureForm::Host, in, std::span(out).first(100), sizes),
            kErrBufferTooSmall);
  std::string text;
  EXPECT_TRUE(host->StatusText(kErrUnknownStructure, text));
}

}  // namespace
}  // namespace quillet::sim
