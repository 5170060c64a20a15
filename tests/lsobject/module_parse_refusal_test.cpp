// Malformed module images: each is refused cleanly, none is read past its end.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_entries.h"
#include "sim/module_builder.h"
#include "sim/string_table_builder.h"

namespace quillet {
namespace {

using sim::Bytes;
using sim::ModuleDescription;
using sim::Pattern;

// A small module of many records: chunks of 64 bytes, every optional table,
// unknown records and a prefix.
ModuleDescription Small() {
  ModuleDescription d;
  d.header = Pattern(512, 0x11);
  d.strings = {Pattern(300, 1)};
  d.symbols = {Pattern(200, 2)};
  d.byteCode = Pattern(250, 3);
  d.extendedStrings = {Pattern(8, 4)};
  d.extendedSymbols = {Pattern(8, 5)};
  d.labelOffsets = {Pattern(8, 6)};
  d.jumpTable = {Pattern(8, 7)};
  d.productMacros = {Pattern(20, 8)};
  d.lineNumbers = {Pattern(12, 9)};
  d.unknown = {{2, Pattern(6, 10)}, {10, Pattern(3, 11)}};
  d.actionFlags = 5;
  d.chunk = 64;
  return d;
}

// Record boundaries of an image starting at `start`.
std::vector<size_t> Boundaries(const Bytes& image, size_t start) {
  std::vector<size_t> ends{start};
  for (size_t p = start; p + 4 <= image.size();) {
    p += 4 + LoadU16(&image[p + 2]);
    if (p <= image.size()) ends.push_back(p);
  }
  return ends;
}

TEST(ModuleParseRefusal, LengthGateIsThreeHundredBytes) {
  Bytes image(300, 0);
  StoreU16(&image[0], 2);  // one unknown record filling the image, but no header
  StoreU16(&image[2], 296);
  CLSScriptModule module;
  EXPECT_FALSE(module.Parse(std::span<const uint8_t>(image).first(299)));
  EXPECT_EQ(module.ItemInfo().ModuleLength, 0);  // refused before anything was read
  EXPECT_FALSE(module.Parse(image));              // past the gate, refused for lack of a header
  EXPECT_EQ(module.ItemInfo().ModuleLength, 300);
}

TEST(ModuleParseRefusal, RefusesBadMarkersHeadersAndRecordTypes) {
  const ModuleDescription d = Small();
  const Bytes good = sim::BuildModuleImage(d);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(good));
  const size_t first = ActionPrefix::kSize;

  Bytes bosl = good;
  std::copy_n("BOSL", 4, bosl.begin() + first + 4);
  EXPECT_FALSE(module.Parse(bosl));

  ModuleDescription shortHeader = d;
  shortHeader.header.resize(299);
  shortHeader.consistent = false;
  EXPECT_FALSE(module.Parse(sim::BuildModuleImage(shortHeader)));

  // A second header in place of the first unknown record.
  Bytes twoHeaders = good;
  const size_t unknown2 = [&] {
    for (size_t p : Boundaries(good, first))
      if (p + 4 <= good.size() && LoadU16(&good[p]) == 2) return p;
    return good.size();
  }();
  ASSERT_LT(unknown2, good.size());
  StoreU16(&twoHeaders[unknown2], 1);
  EXPECT_FALSE(module.Parse(twoHeaders));

  for (uint16_t type : {0, 6, 12, 18, 0xFFFF}) {
    Bytes refused = good;
    StoreU16(&refused[unknown2], type);
    EXPECT_FALSE(module.Parse(refused)) << type;
  }

  // No header at all: the header record turned into an unknown one.
  Bytes headless = good;
  StoreU16(&headless[first], 2);
  EXPECT_FALSE(module.Parse(headless));
}

TEST(ModuleParseRefusal, RefusesRecordsRunningPastTheEnd) {
  const Bytes good = sim::BuildModuleImage(Small());
  const std::vector<size_t> ends = Boundaries(good, ActionPrefix::kSize);
  Bytes longer = good;
  StoreU16(&longer[ends[ends.size() - 2] + 2], 0xFFFF);  // last record claims 64 KiB
  CLSScriptModule module;
  EXPECT_FALSE(module.Parse(longer));
  Bytes threeLeft = good;
  threeLeft.insert(threeLeft.end(), {2, 0, 0});  // a record header cut short
  EXPECT_FALSE(module.Parse(threeLeft));
}

TEST(ModuleParseRefusal, EveryTruncationIsRefusedUnlessItEndsAtARecord) {
  const Bytes good = sim::BuildModuleImage(Small());
  const std::vector<size_t> ends = Boundaries(good, ActionPrefix::kSize);
  CLSScriptModule module;
  for (size_t n = 0; n <= good.size(); ++n) {
    const std::span<const uint8_t> prefix(good.data(), n);
    const bool atRecordEnd = std::find(ends.begin(), ends.end(), n) != ends.end() ||
                             std::find(ends.begin(), ends.end(), n - 1) != ends.end() ||
                             std::find(ends.begin(), ends.end(), n - 2) != ends.end();
    const bool parsed = module.Parse(prefix);
    if (!atRecordEnd) {
      EXPECT_FALSE(parsed) << n;
    }
    if (parsed) {
      EXPECT_GE(n, 14u + 4u + 512u);  // nothing parses without the whole header
      module.Serialize();
    }
  }
}

TEST(ModuleParseRefusal, CorruptedBytesNeverReadOutsideTheImage) {
  const Bytes good = sim::BuildModuleImage(Small());
  CLSScriptModule module;
  int accepted = 0;
  for (size_t i = 0; i < good.size(); ++i) {
    for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(good[i] ^ 0x80), uint8_t(good[i] + 1)}) {
      Bytes bad = good;
      bad[i] = value;
      // The copy is exactly the image, so the sanitizers flag any overread.
      auto owned = std::make_unique<uint8_t[]>(bad.size());
      std::copy(bad.begin(), bad.end(), owned.get());
      if (module.Parse(std::span<const uint8_t>(owned.get(), bad.size()))) {
        ++accepted;
        const Bytes out = module.Serialize();
        CLSScriptModule again;
        EXPECT_TRUE(again.Parse(out)) << i;
      }
    }
  }
  EXPECT_GT(accepted, 0);  // data bytes changed are still a module
}

// The offset and field of a refusal, checked against the message too.
void ExpectRefusedAt(std::span<const uint8_t> image, size_t offset, const std::string& field) {
  CLSScriptModule module;
  ParseError error;
  ASSERT_FALSE(module.Parse(image, error)) << field;
  EXPECT_EQ(error.Offset, offset) << error.Text;
  EXPECT_EQ(error.Field, field) << error.Text;
  EXPECT_EQ(error.Text.rfind("module refused at byte " + std::to_string(offset) + ", " + field + ": ", 0), 0u)
      << error.Text;
}

// The record of `type` at or after `from`; the image's size when none.
size_t RecordOfType(const Bytes& image, uint16_t type, size_t from = 0) {
  for (size_t p : Boundaries(image, ActionPrefix::kSize))
    if (p >= from && p + 4 <= image.size() && LoadU16(&image[p]) == type) return p;
  return image.size();
}

TEST(ModuleParseRefusal, RefusalsSayWhereAndWhichField) {
  const Bytes good = sim::BuildModuleImage(Small());
  const size_t first = ActionPrefix::kSize;

  ExpectRefusedAt(std::span<const uint8_t>(good).first(299), 0, "image length");

  Bytes bosl = good;
  std::copy_n("BOSL", 4, bosl.begin() + first + 4);
  ExpectRefusedAt(bosl, first + 4, "module marker");

  const size_t unknown2 = RecordOfType(good, 2);
  ASSERT_LT(unknown2, good.size());
  Bytes refused = good;
  StoreU16(&refused[unknown2], 6);
  ExpectRefusedAt(refused, unknown2, "record type");

  Bytes twoHeaders = good;
  StoreU16(&twoHeaders[unknown2], 1);
  ExpectRefusedAt(twoHeaders, unknown2, "record type");

  Bytes headless = good;
  StoreU16(&headless[first], 2);
  // Found missing where the records end (a pad byte may follow).
  ExpectRefusedAt(headless, Boundaries(good, first).back(), "header record");
}

TEST(ModuleParseRefusal, TruncatedRecordsNameTheirSection) {
  const Bytes good = sim::BuildModuleImage(Small());
  const size_t code = RecordOfType(good, 4);
  ASSERT_LT(code, good.size());
  const uint16_t length = LoadU16(&good[code + 2]);
  // Cut inside the body, inside the length word, and a body claiming more.
  ExpectRefusedAt(std::span<const uint8_t>(good).first(code + 4 + length / 2), code + 4, "byte code record body");
  ExpectRefusedAt(std::span<const uint8_t>(good).first(code + 3), code + 2, "byte code record length");
  Bytes longer = good;
  StoreU16(&longer[code + 2], 0xFFFF);
  ExpectRefusedAt(longer, code + 4, "byte code record body");
}

TEST(ModuleParseRefusal, MisplacedChunksNameThePlacementOffset) {
  const Bytes good = sim::BuildModuleImage(Small());
  const size_t chunk1 = RecordOfType(good, 3);
  const size_t chunk2 = RecordOfType(good, 3, chunk1 + 1);
  ASSERT_LT(chunk2, good.size());
  Bytes gap = good;
  StoreU32(&gap[chunk2 + 4], LoadU32(&good[chunk2 + 4]) + 1);  // leaves a one-byte gap
  ExpectRefusedAt(gap, chunk2 + 4, "string table placement offset");
  Bytes late = good;
  StoreU32(&late[chunk1 + 4], 64);  // the first chunk must start the data
  ExpectRefusedAt(late, chunk1 + 4, "string table placement offset");
  Bytes noOffset = good;
  StoreU16(&noOffset[chunk1 + 2], 3);  // too short to hold the offset word
  ExpectRefusedAt(noOffset, chunk1 + 2, "string table record length");
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// A module whose scope 1 chain starts at `first`, over symbol data holding
// kind-3 entries at the given offsets with the given sibling links.
Bytes ChainModule(uint16_t first, const std::vector<std::pair<uint16_t, uint16_t>>& entries) {
  sim::ModuleDescription d;
  d.header = Bytes(512, 0);
  StoreU16(&d.header[header::kScope1 + symbol::kScopeFirst], first);
  Bytes symbols(200, 0);
  for (const auto& [at, sibling] : entries) {
    StoreU16(&symbols[at + symbol::kKind], symbol::kVariable);
    StoreU16(&symbols[at + symbol::kSibling], sibling);
  }
  d.symbols = {symbols};
  d.strings = {Bytes(16, 0)};
  return sim::BuildModuleImage(d);
}

TEST(ModuleParseRefusal, LinksIntoTheChecksumWordOrIntoAnotherEntryAreRefused) {
  CLSScriptModule module;
  // Two entries 16 bytes apart: what a serialisation writes stays in each.
  EXPECT_TRUE(module.Parse(ChainModule(8, {{8, 24}, {24, 0}})));
  // A sibling link 6 bytes into the next entry: the first entry's hash link
  // (at 6) would be written over the second's kind.
  EXPECT_FALSE(module.Parse(ChainModule(8, {{8, 14}, {14, 0}})));
  // A chain starting inside the table's checksum word ends there: the bytes
  // the checksum overwrites are never read as an entry, so writing the module
  // twice gives the same image.
  ASSERT_TRUE(module.Parse(ChainModule(2, {{2, 0}})));
  const Bytes once = module.Serialize();
  CLSScriptModule again;
  ASSERT_TRUE(again.Parse(once));
  EXPECT_EQ(again.Serialize(), once);
  // A link back into the entry itself is a cycle, which walks stop at.
  EXPECT_TRUE(module.Parse(ChainModule(8, {{8, 8}})));
}

TEST(ModuleParseRefusal, ScopeLinkRefusalSaysWhereAndWhy) {
  CLSScriptModule module;
  ParseError error;
  const Bytes image = ChainModule(8, {{8, 14}, {14, 0}});
  ASSERT_FALSE(module.Parse(image, error));
  EXPECT_EQ(error.Field, "symbol table scope links");
  // The first entry's hash link, 6 bytes in, is where the second entry starts.
  EXPECT_NE(error.Text.find("symbol-table byte 14 would land in another entry"), std::string::npos) << error.Text;
  ASSERT_LT(error.Offset + 2, image.size());
  EXPECT_EQ(LoadU16(image.data() + error.Offset), record::kSymbolTable) << "the symbol-table record";
}

// A Sub "Work" in scope 1 followed by a variable "Counter" at `variableAt`
// (an offset from the Sub's entry).
Bytes SubAndVariable(size_t variableAt) {
  sim::StringTableBuilder strings;
  strings.Add("Work");
  strings.Add("Counter");
  const sim::StringTableImage names = strings.Build();
  sim::ModuleDescription d;
  d.header = Bytes(512, 0);
  constexpr uint16_t kSubAt = 8;
  const auto variable = static_cast<uint16_t>(kSubAt + variableAt);
  StoreU16(&d.header[header::kScope1 + symbol::kScopeFirst], kSubAt);
  Bytes symbols(variable + symbol::kProcedureSize, 0);
  StoreU16(&symbols[kSubAt + symbol::kKind], symbol::kSub);
  StoreU16(&symbols[kSubAt + symbol::kSibling], variable);
  StoreU16(&symbols[kSubAt + symbol::kName], names.handles[0]);
  StoreU16(&symbols[variable + symbol::kKind], symbol::kVariable);
  StoreU16(&symbols[variable + symbol::kName], names.handles[1]);
  d.symbols = {symbols};
  strings.Into(d);
  return sim::BuildModuleImage(d);
}

TEST(ModuleParseRefusal, ScopeRecordStartingAtAnEntryIsRefused) {
  // Apart, the Sub's local scope and the variable each keep their bytes, and
  // writing the module twice gives the same image.
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(SubAndVariable(symbol::kProcedureSize)));
  const Bytes once = module.Serialize();
  CLSScriptModule again;
  ASSERT_TRUE(again.Parse(once));
  EXPECT_EQ(again.Serialize(), once);
  // The variable where the Sub's local scope record starts: rebuilding that
  // scope's hash table would write over the variable's name, so the next
  // serialisation would hash it elsewhere.
  EXPECT_FALSE(module.Parse(SubAndVariable(symbol::kLocalScope)));
}

}  // namespace
}  // namespace quillet
