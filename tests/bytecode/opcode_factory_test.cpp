// Tests of the instruction-set table, MakeInstruction and ReadInstruction.
#include "bytecode/opcodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

// The byte values below 221 that are not instructions.
const std::set<int> kNotInstructions = {1,   2,   3,   7,   8,   9,   16,  25,  30,  31,  32,  68,
                                        82,  122, 123, 124, 127, 138, 199, 201, 207, 208, 215, 218};

std::unique_ptr<COpCode> Read(const Bytes& bytes, ReadResult expected = ReadResult::kOk,
                              size_t expected_end = SIZE_MAX) {
  ByteReader r(bytes);
  std::unique_ptr<COpCode> out;
  EXPECT_EQ(ReadInstruction(r, out), expected);
  EXPECT_EQ(r.pos(), expected == ReadResult::kOk
                         ? (expected_end == SIZE_MAX ? bytes.size() : expected_end)
                         : 0u);
  return out;
}

TEST(OpcodeTable, DefinesExactlyTheInstructionSet) {
  for (int op = -1; op <= 256; ++op) {
    const bool defined = op >= 0 && op <= 220 && !kNotInstructions.count(op);
    EXPECT_EQ(LookupOpcode(op).name != nullptr, defined) << op;
    EXPECT_EQ(MakeInstruction(op) != nullptr, defined) << op;
  }
}

TEST(OpcodeTable, ClassesAnswerTheirRow) {
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& info = LookupOpcode(op);
    if (!info.name) continue;
    auto instr = MakeInstruction(op);
    EXPECT_EQ(instr->opcode(), op == 146 ? 147 : op) << info.name;
    EXPECT_STREQ(instr->name(), info.name);
    if (BranchSizeOf(info.layout) != kVariableLength) {
      EXPECT_EQ(instr->branchSize(), BranchSizeOf(info.layout)) << info.name;
    }
    // emit writes exactly the fixed length for encodable rows, nothing otherwise.
    Bytes buffer;
    const int written = instr->emit(buffer, 0);
    EXPECT_EQ(written, info.encodable ? 1 + OperandLength(info.layout) : 0) << info.name;
    EXPECT_EQ(buffer.size(), static_cast<size_t>(written));
  }
}

TEST(OpcodeTable, VariantsAnswerTheOpcodeTheyWereBuiltFor) {
  EXPECT_EQ(MakeInstruction(146)->opcode(), 147);  // both CVar forms answer 147
  EXPECT_EQ(static_cast<OpCVar&>(*MakeInstruction(146)).variant, 146);
  EXPECT_EQ(MakeInstruction(105)->opcode(), 105);
  EXPECT_STREQ(MakeInstruction(105)->name(), "OpElem");
  EXPECT_EQ(MakeInstruction(34)->opcode(), 34);
  EXPECT_EQ(MakeInstruction(158)->opcode(), 158);
}

TEST(OpcodeTable, DecodedOpcodeAnswersAsTheDecodedInstruction) {
  // Operands of 1s (counts of 1 for the variable layouts) in enough bytes for
  // any instruction: the decoded object must answer what the table says.
  for (int op = 0; op < 256; ++op) {
    Bytes bytes(64, 1);
    bytes[0] = static_cast<uint8_t>(op);
    ByteReader r(bytes);
    std::unique_ptr<COpCode> out;
    if (ReadInstruction(r, out) != ReadResult::kOk) {
      EXPECT_EQ(DecodedOpcode(static_cast<uint8_t>(op)), -1) << op;
      continue;
    }
    EXPECT_EQ(DecodedOpcode(static_cast<uint8_t>(op)), out->opcode()) << op;
  }
}

TEST(ReadInstruction, EveryFixedLayoutReadsExactlyItsLengthAndRefusesEveryPrefix) {
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& info = LookupOpcode(op);
    if (!info.name) continue;
    const int length = OperandLength(info.layout);
    if (length == kVariableLength) continue;
    Bytes bytes(1 + static_cast<size_t>(length), 0x02);  // 0x02 is not an instruction
    bytes[0] = static_cast<uint8_t>(op);
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
      SCOPED_TRACE(info.name);
      Read(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(cut)), ReadResult::kTruncated);
    }
    bytes.push_back(0x1B);  // a following instruction is not consumed
    auto instr = Read(bytes, ReadResult::kOk, bytes.size() - 1);
    ASSERT_NE(instr, nullptr) << info.name;
    EXPECT_EQ(instr->offset, 0);
  }
}

TEST(ReadInstruction, EncodableInstructionsReadBackToTheSameBytes) {
  const Bytes cases[] = {
      {0x1A, 0x0A, 0x00},        // OpLine 10
      {0x90, 0xFE, 0xFF},        // OpInteger -2
      {0x38, 0x19, 0x00},        // OpJZ 25
      {0x40, 0x05},              // OpPrintNoCR 5
      {0x3F, 0x05},              // OpPrint 5
      {0x63, 0x01, 0x34, 0x12},  // OpTLoadPtr 1, 0x1234
      {0x7D, 0xFF, 0xFF},        // OpStringLiteral 0xFFFF
      {0xBB},                    // OpBinaryOperator "<>", second form
  };
  for (const Bytes& bytes : cases) {
    auto instr = Read(bytes);
    ASSERT_NE(instr, nullptr);
    Bytes out;
    EXPECT_EQ(instr->emit(out, 0), static_cast<int>(bytes.size()));
    EXPECT_EQ(out, bytes) << instr->name();
  }
}

TEST(ReadInstruction, OffsetIsThePositionOfTheOpcodeByte) {
  const Bytes bytes = {0x1A, 0x0C, 0x00,  // OpLine 12
                       0x3A, 0xEC, 0xFF,  // OpJmp -20 at offset 3
                       0x1D};             // OpEndSub
  ByteReader r(bytes);
  std::unique_ptr<COpCode> line, jmp, end;
  ASSERT_EQ(ReadInstruction(r, line), ReadResult::kOk);
  ASSERT_EQ(ReadInstruction(r, jmp), ReadResult::kOk);
  ASSERT_EQ(ReadInstruction(r, end), ReadResult::kOk);
  EXPECT_EQ(static_cast<OpLine&>(*line).line, 12);
  EXPECT_EQ(jmp->offset, 3);
  EXPECT_EQ(static_cast<OpJmp&>(*jmp).target(), -14);
  EXPECT_EQ(end->offset, 6);
  EXPECT_EQ(end->opcode(), 29);
  EXPECT_TRUE(r.AtEnd());
  std::unique_ptr<COpCode> none;
  EXPECT_EQ(ReadInstruction(r, none), ReadResult::kTruncated);  // nothing left
}

TEST(ReadInstruction, UnknownOpcodeLeavesReaderAndOutputAlone) {
  auto keep = std::make_unique<OpDup>();
  COpCode* const before = keep.get();
  std::unique_ptr<COpCode> out = std::move(keep);
  const Bytes bytes = {0x07, 0x00};
  ByteReader r(bytes);
  EXPECT_EQ(ReadInstruction(r, out), ReadResult::kUnknownOpcode);
  EXPECT_EQ(r.pos(), 0u);
  EXPECT_EQ(out.get(), before);
  Read({0xDD}, ReadResult::kUnknownOpcode);  // 221: above the set
}

TEST(ReadInstruction, VariableLayouts) {
  auto on = Read({0x3B, 0x02, 0x04, 0x00, 0xF0, 0xFF});  // OpOnGoto, 2 targets: 4, -16
  auto& targets = static_cast<OpOnGoto&>(*on).targets;
  EXPECT_EQ(targets, (std::vector<int16_t>{4, -16}));
  EXPECT_EQ(on->branchSize(), 6);
  Read({0x3B, 0x02, 0x04, 0x00, 0xF0}, ReadResult::kTruncated);  // second target cut

  auto eval = Read({0xD4, 0x05, 0x00, 0x31});  // OpEvaluate 5 with its Pop
  EXPECT_EQ(static_cast<OpEvaluate&>(*eval).operand, 5);
  EXPECT_TRUE(static_cast<OpEvaluate&>(*eval).popsResult);
  auto eval2 = Read({0xD4, 0x05, 0x00, 0x32}, ReadResult::kOk, 3);  // 0x32 is the next one
  EXPECT_FALSE(static_cast<OpEvaluate&>(*eval2).popsResult);
  auto exec = Read({0xD5});  // OpExecute at the very end of the data
  EXPECT_FALSE(static_cast<OpExecute&>(*exec).popsResult);

  auto file = Read({0x05, 0x13, 0x02});  // file built-in 19 with 2 arguments
  EXPECT_EQ(static_cast<OpBuiltinFileDisp&>(*file).subOperand, 19);
  EXPECT_EQ(static_cast<OpBuiltinFileDisp&>(*file).argCount, 2);
  Read({0x05, 0x04}, ReadResult::kTruncated);       // built-in 4 needs its count
  Read({0x05, 0x06, 0x02}, ReadResult::kOk, 2);     // built-in 6 has none

  auto redim = Read({0x76, 0x03, 0x34, 0x12});  // OpRedimObj 118: 16-bit dim, Preserve
  auto& r = static_cast<OpRedimObj&>(*redim);
  EXPECT_EQ(r.dimOperand, 0x1234);
  EXPECT_TRUE(r.preserve());
  EXPECT_FALSE(r.byteOperand());
  auto redim8 = Read({0x73, 0x03, 0x34});  // OpRedimObj 115: one-byte dim
  EXPECT_EQ(static_cast<OpRedimObj&>(*redim8).dimOperand, 0x34);
  EXPECT_TRUE(static_cast<OpRedimObj&>(*redim8).byteOperand());

  auto cast = Read({0x9E, 1, 2, 3, 4});  // OpInternalCast 158 keeps 4 bytes
  EXPECT_EQ(static_cast<OpInternalCast&>(*cast).skipped, (std::array<uint8_t, 4>{1, 2, 3, 4}));
}

TEST(BinaryOperator, DecodedOperatorsCarrySymbolAndPrecedence) {
  struct Row {
    int op;
    const char* symbol;
    int32_t precedence;
  };
  const Row rows[] = {{168, "+", 11},  {173, "-", 11},   {175, "/", 14},  {182, "<", 9},
                      {187, "<>", 9},  {188, "\\", 13},  {189, "Mod", 12}, {191, "&", 10},
                      {192, "Imp", 2}, {196, "And", 6},  {216, "IsA", 9}};
  for (const Row& row : rows) {
    auto instr = Read({static_cast<uint8_t>(row.op)});
    auto& op = static_cast<OpBinaryOperator&>(*instr);
    EXPECT_EQ(op.symbol, row.symbol) << row.op;
    EXPECT_EQ(op.precedence, row.precedence) << row.op;
    EXPECT_EQ(op.variant, row.op);
  }
  EXPECT_EQ(OpBinaryOperator::Decoded(190), nullptr);  // exponentiation is OpExp
  EXPECT_STREQ(MakeInstruction(190)->name(), "OpExp");
}

TEST(OpLine, AnnotationsStayOrderedByOffset) {
  OpLine line(uint16_t{5});
  line.AddAnnotation(30, "End Select");
  line.AddAnnotation(10, "End If");
  line.AddAnnotation(30, "End If");
  ASSERT_EQ(line.annotations.size(), 3u);
  EXPECT_EQ(line.annotations[0].first, 10);
  EXPECT_EQ(line.annotations[1].second, "End Select");  // equal offsets keep their order
  EXPECT_EQ(line.annotations[2].second, "End If");
  EXPECT_EQ(line.isCaseLine, 0);
}

}  // namespace
}  // namespace quillet
