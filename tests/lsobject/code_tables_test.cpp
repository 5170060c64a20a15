// Tests of the line-number table and of decoding whole procedures.
#include "lsobject/code_tables.h"

#include <gtest/gtest.h>

#include <vector>

#include "bytecode/opcodes.h"
#include "lsobject/code_tables_decode.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/procedure_shape.h"
#include "sim/module_builder.h"
#include "support/symbol_kit.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

// One type-17 record holding `data` at placement offset 0.
Bytes LineNumberRecord(const Bytes& data) {
  Bytes r;
  ByteWriter w(r);
  w.PutU16(record::kFunctionLineNumbers);
  w.PutU16(static_cast<uint16_t>(4 + data.size()));
  w.PutU32(0);
  w.PutBytes(data);
  return r;
}

TEST(FunctionLineNumbers, EmptySectionAnswersMinusOneWithoutAMap) {
  CFunctionLineNumbers lines;
  EXPECT_EQ(lines.LookupLine(0), -1);
  EXPECT_EQ(lines.LookupLine(0x1234), -1);
  EXPECT_FALSE(lines.MapBuilt());
}

TEST(FunctionLineNumbers, PairsFromByteFour) {
  const Bytes data = {0x05, 0x00, 0x07, 0x00,  // carried, part of no pair
                      0x10, 0x00, 0x0A, 0x00,  // 0x10 -> 10
                      0x20, 0x01, 0xFF, 0xFF,  // 0x120 -> 65535
                      0x10, 0x00, 0x0C, 0x00,  // 0x10 again -> 12, the later pair wins
                      0x30, 0x00};             // a partial pair, ignored
  CFunctionLineNumbers lines;
  ASSERT_TRUE(lines.Read(LineNumberRecord(data), 0));
  EXPECT_EQ(lines.LookupLine(0x10), 12);
  EXPECT_EQ(lines.LookupLine(0x120), 65535);
  EXPECT_TRUE(lines.MapBuilt());
  EXPECT_EQ(lines.LookupLine(0x05), -1);  // the first four bytes are no pair
  EXPECT_EQ(lines.LookupLine(0x30), -1);
  EXPECT_EQ(lines.LookupLine(0x99), -1);

  lines.Clear();
  EXPECT_FALSE(lines.MapBuilt());
  EXPECT_EQ(lines.LookupLine(0x10), -1);
  ASSERT_TRUE(lines.Read(LineNumberRecord({0, 0, 0, 0, 0x10, 0x00, 0x03, 0x00}), 0));
  EXPECT_EQ(lines.LookupLine(0x10), 3);  // a stale map would still say 12
}

TEST(DecodeProcedureCode, LineAndEndGiveAOneElementList) {
  const Bytes code = {0x1A, 0x0A, 0x00,  // OpLine 10
                      0x1D};             // OpEndSub
  InstructionList list;
  ASSERT_TRUE(DecodeProcedureCode(code, 0, testkit::NoLabels, 1, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->opcode(), 26);
}

// Two procedures; the second, at offset 5, is an If with its End If line.
const Bytes kTwoProcedures = {
    0x1A, 0x09, 0x00, 0x1B, 0x1D,  // first: line 9, separator, end
    0x1A, 0x01, 0x00,              // 5:  line 1        If a Then
    0x58, 0x02, 0x60, 0x00,        // 8:  local load
    0x38, 0x07, 0x00,              // 12: OpJZ to 22
    0x1A, 0x02, 0x00,              // 15: line 2
    0x29, 0x40, 0x00,              // 18: load procedure
    0x23,                          // 21: call
    0x1A, 0x03, 0x00,              // 22: line 3        End If
    0x1D};                         // 25: end

TEST(DecodeProcedureCode, DecodesAndMarksAProcedureInsideTheSection) {
  InstructionList list;
  ASSERT_TRUE(DecodeProcedureCode(kTwoProcedures, 5, testkit::NoLabels, 1, list));
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list[0]->offset, 5);
  EXPECT_EQ(list[6]->offset, 22);
  EXPECT_EQ(static_cast<OpJZ&>(*list[2]).mark, 4);
  const auto& endIf = static_cast<OpLine&>(*list[6]);
  ASSERT_EQ(endIf.annotations.size(), 1u);
  EXPECT_EQ(endIf.annotations[0].first, 12);
  EXPECT_EQ(endIf.annotations[0].second, "End If");
}

TEST(DecodeProcedure, StartsAtTheEntrysCodeOffsetAndKnowsItsLabels) {
  kit::KitModule m;
  m.procedures = {{.name = "Labelled", .lines = 3, .labels = {{.name = "Again", .at = 6}}},
                  {.name = "Plain", .lines = 3}};
  kit::KitImage k = kit::BuildKitModule(m);
  // The second line of each procedure becomes a jump to the third (relative 0).
  for (const char* name : {"Labelled", "Plain"}) {
    const uint32_t at = k.code.at(name) + 3;
    ASSERT_EQ(k.description.byteCode.at(at), 0x1A);
    k.description.byteCode[at] = 0x3A;
    k.description.byteCode[at + 1] = 0;
    k.description.byteCode[at + 2] = 0;
  }
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(k.description)));

  InstructionList list;
  ASSERT_TRUE(DecodeProcedure(module, k.handle.at("Labelled"), list));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]->offset, static_cast<int32_t>(k.code.at("Labelled")));
  EXPECT_EQ(static_cast<OpJmp&>(*list[1]).kind(), 0);  // a GoTo to the label

  ASSERT_TRUE(DecodeProcedure(module, k.handle.at("Plain"), list));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]->offset, static_cast<int32_t>(k.code.at("Plain")));
  EXPECT_EQ(static_cast<OpJmp&>(*list[1]).kind(), 3);

  // Malformed code in one procedure leaves the others decodable.
  k.description.byteCode[k.code.at("Plain")] = 0x07;
  ASSERT_TRUE(module.Parse(sim::BuildModuleImage(k.description)));
  EXPECT_FALSE(DecodeProcedure(module, k.handle.at("Plain"), list));
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(DecodeProcedure(module, k.handle.at("Labelled"), list));
}

TEST(DecodeProcedureCode, EveryTruncationFailsWithAnEmptyList) {
  for (size_t cut = 5; cut < kTwoProcedures.size(); ++cut) {
    const Bytes prefix(kTwoProcedures.begin(), kTwoProcedures.begin() + static_cast<long>(cut));
    InstructionList list;
    list.push_back(std::make_unique<OpStmtSep>());  // replaced either way
    EXPECT_FALSE(DecodeProcedureCode(prefix, 5, testkit::NoLabels, 1, list)) << cut;
    EXPECT_TRUE(list.empty()) << cut;
  }
}

TEST(DecodeProcedureCode, MalformedCodeFailsWithAnEmptyList) {
  const std::vector<Bytes> bad = {
      {0x1A, 0x0C, 0x00, 0x07, 0x1D},  // unknown opcode
      {0x06, 0x5B, 0x1D},              // unknown built-in
      {0x05, 0x26, 0x1D},              // unknown file built-in
      {0x3A, 0x10, 0x00, 0x1D},        // structural jump past the end
      {0x3A, 0xFD, 0xFF, 0x1D},        // structural jump to itself at index 0
      {0x38, 0x01, 0x00, 0x1B, 0x1D},  // conditional jump into the middle of nowhere
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    InstructionList list;
    EXPECT_FALSE(DecodeProcedureCode(bad[i], 0, testkit::NoLabels, 1, list)) << i;
    EXPECT_TRUE(list.empty()) << i;
  }
  InstructionList list;
  EXPECT_FALSE(DecodeProcedureCode(kTwoProcedures, -1, testkit::NoLabels, 1, list));
  EXPECT_FALSE(DecodeProcedureCode(kTwoProcedures, 1000, testkit::NoLabels, 1, list));
}

TEST(DecodeProcedureCode, JumpPastTheLastInstructionIsRefused) {
  // Separators up to 0x38, a GoTo-like jump at 0x39 to 0x40, a Pop at 0x3C,
  // the end at 0x3D: the target lies beyond the last instruction.
  Bytes code(0x39, 0x1B);
  code.insert(code.end(), {0x3A, 0x04, 0x00, 0x31, 0x1D});
  InstructionList list;
  EXPECT_FALSE(DecodeProcedureCode(code, 0, [](int32_t offset) { return offset == 0x40; }, 1, list));
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace quillet
