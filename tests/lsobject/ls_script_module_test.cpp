// Tests of parsing and serialising whole modules.
#include "lsobject/ls_script_module.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/module_builder.h"
#include "sim/string_table_builder.h"

namespace quillet {
namespace {

using sim::Bytes;
using sim::ModuleDescription;
using sim::Pattern;

// The record types in image order, runs of chunks of one section counted once.
std::vector<uint16_t> RecordTypes(const Bytes& image, size_t start = 0) {
  std::vector<uint16_t> types;
  for (size_t p = start; p + 4 <= image.size(); p += 4 + LoadU16(&image[p + 2]))
    if (types.empty() || types.back() != LoadU16(&image[p])) types.push_back(LoadU16(&image[p]));
  return types;
}

// Where the first record of `type` starts, or the image size.
size_t FindRecord(const Bytes& image, uint16_t type, size_t start = 0) {
  for (size_t p = start; p + 4 <= image.size(); p += 4 + LoadU16(&image[p + 2]))
    if (LoadU16(&image[p]) == type) return p;
  return image.size();
}

// String tables are well formed, since serialising rebuilds their chains.
ModuleDescription Minimal() {
  ModuleDescription d;
  sim::NumberedStrings(40).Into(d);
  d.symbols = {Pattern(60, 2)};
  d.byteCode = Pattern(30, 3);
  return d;
}

// Every kind of record, several segments and a prefix.
ModuleDescription Rich() {
  ModuleDescription d;
  d.header = Pattern(512, 0x30);
  // Empty module scopes: serialising rebuilds their hash tables from the chains.
  std::fill(d.header.begin() + header::kScope1, d.header.begin() + header::kScope4 + 60, 0);
  sim::NumberedStrings(70000).Into(d);  // two segments and their extended handles
  d.symbols = {Pattern(9000, 3), Pattern(300, 4)};
  d.byteCode = Pattern(70001, 5);
  d.extendedSymbols = {Pattern(12, 7)};
  d.labelOffsets = {Pattern(16, 8)};
  d.jumpTable = {Pattern(16, 9)};
  d.productMacros = {Pattern(40, 10)};
  d.lineNumbers = {Pattern(12, 11)};
  d.unknown = {{2, Pattern(10, 12)}, {10, Pattern(5, 13)}, {11, Pattern(8, 14)}, {2, Pattern(3, 15)}};
  d.actionFlags = 0xABCD1234u;
  return d;
}

TEST(ModuleRoundTrip, ParseThenSerializeReproducesAConsistentImage) {
  for (const ModuleDescription& d : {Minimal(), Rich()}) {
    const Bytes image = sim::BuildModuleImage(d);
    CLSScriptModule module;
    ASSERT_TRUE(module.Parse(image));
    EXPECT_EQ(module.ItemInfo().ModuleLength, static_cast<int32_t>(image.size()));
    const uint32_t stored = LoadU32(module.SymbolTable().Data().data());
    EXPECT_EQ(module.ComputeChecksum(), stored);
    EXPECT_EQ(module.Serialize(), image);
  }
}

TEST(ModuleRoundTrip, KeepsSectionsUnknownRecordsAndSegments) {
  const ModuleDescription d = Rich();
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  ASSERT_EQ(d.strings.size(), 2u);
  EXPECT_EQ(module.StringTable().SegmentSizes(),
            (std::vector<int32_t>{static_cast<int32_t>(d.strings[0].size()), static_cast<int32_t>(d.strings[1].size())}));
  EXPECT_EQ(module.SymbolTable().SegmentSizes(), (std::vector<int32_t>{9000, 300}));
  EXPECT_EQ(module.ByteCode().SegmentSizes(), (std::vector<int32_t>{70001}));
  ASSERT_EQ(d.extendedStrings.size(), 1u);
  EXPECT_EQ(module.StringTable().Extended().Length(), static_cast<int32_t>(d.extendedStrings[0].size()));
  EXPECT_EQ(module.Symbols().extended, &module.ExtendedSymbolTable());
  ASSERT_EQ(module.UnknownSections().size(), 4u);
  // Kept in image order: type 11 is written before the type-2 records, 10 last.
  EXPECT_EQ(module.UnknownSections()[0]->Type(), 11);
  EXPECT_EQ(module.UnknownSections()[3]->Type(), 10);
  EXPECT_EQ(Bytes(module.UnknownSections()[3]->Data().begin(), module.UnknownSections()[3]->Data().end()),
            Pattern(5, 13));
  ASSERT_NE(module.Prefix(), nullptr);
  EXPECT_EQ(LoadU32(module.Prefix()->bytes.data() + 6), 0xABCD1234u);
  // The header's sizes as the image stored them.
  EXPECT_EQ(module.Header().U32(header::kByteCodeLength32), 70001u);
  EXPECT_EQ(module.Header().U16(header::kByteCodeLength16), 70001u & 0xFFFF);
  EXPECT_EQ(module.Header().U32(header::kStringSegmentCount), 2u);
  EXPECT_EQ(module.Header().U32(header::kJumpCount), 2u);

  module.Reset();
  EXPECT_TRUE(module.StringTable().Empty());
  EXPECT_TRUE(module.StringTable().Extended().Empty());
  EXPECT_TRUE(module.StringTable().SegmentSizes().empty());
  EXPECT_TRUE(module.UnknownSections().empty());
  EXPECT_EQ(module.Prefix(), nullptr);
  EXPECT_EQ(module.ItemInfo().ModuleLength, 0);
}

TEST(ModuleRoundTrip, SmallChunksAreReadAndRewrittenInFullChunks) {
  ModuleDescription d = Rich();
  const Bytes canonical = sim::BuildModuleImage(d);
  d.chunk = 1000;
  const Bytes small = sim::BuildModuleImage(d);
  ASSERT_NE(small, canonical);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(small));
  EXPECT_EQ(module.Serialize(), canonical);
}

TEST(ModuleSerialize, OmitsEmptyOptionalRecordsAndWritesSegmentListsOnlyAtLevelFour) {
  ModuleDescription d = Minimal();
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  EXPECT_EQ(RecordTypes(module.Serialize()), (std::vector<uint16_t>{1, 3, 5, 4}));

  d.header[4] = 4;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  EXPECT_EQ(RecordTypes(module.Serialize()), (std::vector<uint16_t>{1, 8, 3, 13, 5, 4}));
}

TEST(ModuleSerialize, SegmentListsInTheImageAreIgnoredAndRecomputed) {
  ModuleDescription d = Rich();
  d.actionFlags.reset();
  const Bytes image = sim::BuildModuleImage(d);
  Bytes damaged = image;
  const size_t strings = FindRecord(damaged, 8);
  const size_t symbols = FindRecord(damaged, 13);
  ASSERT_LT(symbols, damaged.size());
  StoreU32(&damaged[strings + 8], 0xDEADBEEF);
  StoreU32(&damaged[symbols + 12], 7);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(damaged));
  EXPECT_EQ(module.Serialize(), image);
}

TEST(ModuleSerialize, ActionPrefixIsWrittenFirstWithEvenLengthAndNewLengths) {
  ModuleDescription d = Minimal();
  d.actionFlags = 0x00010002u;
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  // One more byte of code makes the records odd in length.
  ASSERT_EQ(module.ByteCode().InsertBytes(-1, Bytes{0x1D}), 1);
  const Bytes out = module.Serialize();
  ASSERT_EQ(out.size() % 2, 0u);
  EXPECT_EQ(out.back(), 0);  // the pad byte
  EXPECT_EQ(LoadU16(&out[0]), 0x0281);
  EXPECT_EQ(LoadU16(&out[2]), 0xFF85);
  EXPECT_EQ(LoadU16(&out[4]), out.size() - 2);
  EXPECT_EQ(LoadU32(&out[6]), 0x00010002u);
  EXPECT_EQ(LoadU16(&out[10]), out.size() - 14);

  d.byteCode.push_back(0x1D);
  EXPECT_EQ(out, sim::BuildModuleImage(d));
  CLSScriptModule again;
  ASSERT_TRUE(again.Parse(out));
  EXPECT_EQ(again.ByteCode().Length(), 31);
}

TEST(ModuleSerialize, ByteCodeReaching0xFC00SwitchesToTheExtendedFormat) {
  ModuleDescription d = Minimal();
  d.byteCode = Pattern(0xFBFF, 3);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  EXPECT_EQ(RecordTypes(module.Serialize()), (std::vector<uint16_t>{1, 3, 5, 4}));
  EXPECT_EQ(module.Header().U16(header::kFormatLevel), 0);

  ASSERT_EQ(module.ByteCode().InsertBytes(0, Bytes{0}), 1);
  const Bytes out = module.Serialize();
  EXPECT_EQ(module.Header().U16(header::kFormatLevel), 4);
  EXPECT_EQ(module.Header().U16(header::kFlags), 0x0400);
  EXPECT_EQ(RecordTypes(out), (std::vector<uint16_t>{1, 8, 3, 13, 5, 4}));
  d.byteCode.insert(d.byteCode.begin(), 0);
  EXPECT_EQ(out, sim::BuildModuleImage(d));
}

TEST(ModuleSerialize, AnEmptyModuleWritesOnlyItsEmptyHeaderRecord) {
  CLSScriptModule module;
  EXPECT_EQ(module.Serialize(), (Bytes{1, 0, 0, 0}));
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(Rich())));
  module.Reset();
  EXPECT_EQ(module.Serialize(), (Bytes{1, 0, 0, 0}));
}

TEST(ModuleSerialize, SynthesisesTheType11RecordFromTheHeader) {
  ModuleDescription d = Minimal();
  StoreU16(&d.header[6], 0x0400);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  EXPECT_EQ(FindRecord(module.Serialize(), 11), module.Serialize().size());

  module.Header().SetU16(header::kType11Value, 7);
  const Bytes out = module.Serialize();
  const size_t at = FindRecord(out, 11);
  ASSERT_LE(at + 12, out.size());
  EXPECT_EQ(Bytes(out.begin() + at, out.begin() + at + 12), (Bytes{11, 0, 8, 0, 0, 0, 0, 0, 7, 0, 0, 0}));
}

TEST(ModuleChecksum, CoversHeaderStringsSymbolsCodeAndMacrosOnly) {
  const ModuleDescription d = Rich();
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  const uint32_t base = module.ComputeChecksum();

  module.JumpTable().MutableData()[0] ^= 1;
  module.LabelOffsets().MutableData()[0] ^= 1;
  module.LineNumbers().MutableData()[0] ^= 1;
  module.ExtendedSymbolTable().MutableData()[0] ^= 1;
  module.HeaderBytes()[300] ^= 1;  // beyond the checksummed header bytes
  EXPECT_EQ(module.ComputeChecksum(), base);

  for (CMultiSection* s : std::initializer_list<CMultiSection*>{&module.StringTable(), &module.ByteCode(),
                                                                &module.ProductMacros(), &module.SymbolTable()}) {
    s->MutableData()[s->Length() - 1] ^= 1;
    EXPECT_NE(module.ComputeChecksum(), base) << int(s->Type());
    s->MutableData()[s->Length() - 1] ^= 1;
  }
  module.HeaderBytes()[299] ^= 1;
  EXPECT_NE(module.ComputeChecksum(), base);
}

TEST(ModuleChecksum, IsRecomputedAfterAChange) {
  ModuleDescription d = Rich();
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  const uint32_t before = LoadU32(module.SymbolTable().Data().data());
  module.ByteCode().MutableData()[100] ^= 0x55;
  const Bytes out = module.Serialize();
  const uint32_t after = LoadU32(module.SymbolTable().Data().data());
  EXPECT_NE(after, before);
  EXPECT_EQ(after, module.ComputeChecksum());
  d.byteCode[100] ^= 0x55;
  EXPECT_EQ(out, sim::BuildModuleImage(d));  // the builder folds the checksum on its own
}

TEST(ModuleHeaderUpdate, ShortWideBlockIsNotWrittenAndCountsStayInsideTheHeader) {
  ModuleDescription d = Minimal();
  d.header = Pattern(350, 0x40);  // longer than 300, too short for offsets 388 and 392
  d.jumpTable = {Pattern(8)};
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  const Bytes before(module.Header().Data().begin() + 300, module.Header().Data().end());
  module.Serialize();
  EXPECT_EQ(Bytes(module.Header().Data().begin() + 300, module.Header().Data().end()), before);
  EXPECT_EQ(module.Header().U16(header::kStringLength16), d.strings[0].size());
}

// Records the extension steps and what the checksum saw.
class RecordingModule : public CLSScriptModule {
 public:
  std::vector<std::string> steps;

 protected:
  void RebuildStringChains() override {
    steps.push_back("chains");
    Header().SetU16(header::kStringChainHeads, 0x0004);
  }
  void RebuildScopeHashes() override { steps.push_back("scopes"); }
  void LinkProcedureOwners() override { steps.push_back("owners"); }
};

TEST(ModuleHeaderUpdate, ExtensionStepsRunBeforeTheChecksumAndAfterASuccessfulParse) {
  ModuleDescription d = Minimal();
  RecordingModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(d)));
  EXPECT_EQ(module.steps, (std::vector<std::string>{"owners"}));
  const Bytes out = module.Serialize();
  EXPECT_EQ(module.steps, (std::vector<std::string>{"owners", "chains", "scopes"}));
  StoreU16(&d.header[header::kStringChainHeads], 0x0004);
  EXPECT_EQ(out, sim::BuildModuleImage(d));  // the checksum covers the new chain head

  module.steps.clear();
  Bytes bad = sim::BuildModuleImage(d);
  bad[FindRecord(bad, 5)] = 6;
  EXPECT_FALSE(module.Parse(bad));
  EXPECT_TRUE(module.steps.empty());
}

}  // namespace
}  // namespace quillet
