// Tests of DecodeNext: layouts, special cases, refusals and the cursor bound.
#include "bytecode/decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bytecode/opcodes.h"
#include "bytecode/module_errors.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

// Decodes every instruction of `bytes` in turn.
InstructionList DecodeAll(const Bytes& bytes, DecodeCursor& cursor) {
  InstructionList list;
  while (static_cast<size_t>(cursor.position) < bytes.size()) list.push_back(DecodeNext(cursor));
  return list;
}

// The message DecodeNext throws for `bytes`, after decoding what precedes.
std::string FailureOf(const Bytes& bytes) {
  DecodeCursor cursor{bytes};
  try {
    DecodeAll(bytes, cursor);
  } catch (const CIllegalArgumentException& e) {
    return e.Message();
  }
  return "(decoded)";
}

template <class T>
const T& As(const std::unique_ptr<COpCode>& instr) {
  const T* typed = dynamic_cast<const T*>(instr.get());
  EXPECT_NE(typed, nullptr) << (instr ? instr->name() : "null");
  return *typed;
}

TEST(DecodeNext, LineSeparatorAndEndTrackTheLine) {
  const Bytes bytes = {0x1A, 0x0A, 0x00,  // OpLine 10
                       0x1B,              // OpStmtSep
                       0x1D};             // OpEndSub
  DecodeCursor cursor{bytes};
  auto line = DecodeNext(cursor);
  EXPECT_EQ(As<OpLine>(line).line, 10);
  EXPECT_EQ(line->offset, 0);
  EXPECT_EQ(cursor.currentLine, 10);
  EXPECT_EQ(As<OpLine>(line).isCaseLine, 0);
  EXPECT_TRUE(As<OpLine>(line).annotations.empty());
  auto sep = DecodeNext(cursor);
  EXPECT_EQ(sep->opcode(), 27);
  EXPECT_EQ(sep->offset, 3);
  auto end = DecodeNext(cursor);
  EXPECT_EQ(end->opcode(), 29);
  EXPECT_EQ(end->offset, 4);
  EXPECT_EQ(cursor.position, 5);
}

TEST(DecodeNext, SyntheticLineAlsoBecomesTheCurrentLine) {
  const Bytes bytes = {0x1A, 0x05, 0x00, 0x1A, 0xFF, 0xFF, 0x07};
  EXPECT_EQ(FailureOf(bytes), "Unknown opcode: 0x0007 on line 65535 (offset: 6)");
}

TEST(DecodeNext, OperandsAreLittleEndianAndSigned) {
  const Bytes integer = {0x90, 0xFE, 0xFF};  // OpInteger -2
  DecodeCursor cursor{integer};
  auto instr = DecodeNext(cursor);
  EXPECT_EQ(As<OpInteger>(instr).value, -2);
  EXPECT_EQ(cursor.position, 3);

  const Bytes on = {0x3B, 0x02, 0x04, 0x00, 0xF0, 0xFF};  // On GoTo, 2 targets
  DecodeCursor onCursor{on};
  auto onGoto = DecodeNext(onCursor);
  EXPECT_EQ(As<OpOnGoto>(onGoto).count(), 2);
  EXPECT_EQ(As<OpOnGoto>(onGoto).targets, (std::vector<int16_t>{4, -16}));
  EXPECT_EQ(onCursor.position, 6);
}

TEST(DecodeNext, EvaluateAndExecuteTakeAFollowingPop) {
  const Bytes pops = {0xD4, 0x05, 0x00, 0x31};
  DecodeCursor c1{pops};
  auto eval = DecodeNext(c1);
  EXPECT_EQ(As<OpEvaluate>(eval).operand, 5);
  EXPECT_TRUE(As<OpEvaluate>(eval).popsResult);
  EXPECT_EQ(c1.position, 4);

  const Bytes keeps = {0xD4, 0x05, 0x00, 0x32};
  DecodeCursor c2{keeps};
  InstructionList list = DecodeAll(keeps, c2);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_FALSE(As<OpEvaluate>(list[0]).popsResult);
  EXPECT_EQ(list[1]->opcode(), 50);  // OpDup
  EXPECT_EQ(list[1]->offset, 3);

  const Bytes execute = {0xD5, 0x31, 0xD5};  // the look-ahead stops at the end
  DecodeCursor c3{execute};
  list = DecodeAll(execute, c3);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_TRUE(As<OpExecute>(list[0]).popsResult);
  EXPECT_FALSE(As<OpExecute>(list[1]).popsResult);
  EXPECT_EQ(c3.position, 3);
}

TEST(DecodeNext, UnknownOpcodeNamesLineAndOffset) {
  Bytes bytes(0x3D, 0x1B);                              // separators up to 0x3C
  bytes.insert(bytes.end(), {0x1A, 0x0C, 0x00, 0x07});  // line 12 at 0x3D, then 07 at 0x40
  DecodeCursor cursor{bytes};
  try {
    DecodeAll(bytes, cursor);
    FAIL() << "decoded";
  } catch (const CIllegalArgumentException& e) {
    EXPECT_EQ(e.Message(), "Unknown opcode: 0x0007 on line 12 (offset: 40)");
  }
  EXPECT_EQ(cursor.position, 0x41);  // past the opcode byte
  EXPECT_EQ(cursor.currentLine, 12);
}

TEST(DecodeNext, BuiltinNumbersOutsideTheKnownRangesAreRefused) {
  EXPECT_EQ(FailureOf({0x06, 0x5B}), "Unrecognized builtin 0x005B on line 0\n");
  EXPECT_EQ(FailureOf({0x1A, 0x03, 0x00, 0x06, 0xAF}), "Unrecognized builtin 0x00AF on line 3\n");
  for (int accepted : {0, 90, 94, 95, 112, 123, 126, 131, 163, 174}) {
    EXPECT_EQ(FailureOf({0x06, static_cast<uint8_t>(accepted)}), "(decoded)") << accepted;
  }
  for (int refused : {91, 93, 96, 111, 124, 125, 132, 162, 175, 255}) {
    EXPECT_NE(FailureOf({0x06, static_cast<uint8_t>(refused)}), "(decoded)") << refused;
  }
  const Bytes accepted = {0x06, 0x5E};
  DecodeCursor cursor{accepted};
  EXPECT_EQ(As<OpBuiltinDisp>(DecodeNext(cursor)).subOperand, 0x5E);
}

TEST(DecodeNext, FileBuiltinsCarryArgCountAndStopAt37) {
  const Bytes withCount = {0x05, 0x13, 0x02, 0x05, 0x02};  // 19 with argCount 2, then 2 alone
  DecodeCursor cursor{withCount};
  InstructionList list = DecodeAll(withCount, cursor);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(As<OpBuiltinFileDisp>(list[0]).subOperand, 19);
  EXPECT_EQ(As<OpBuiltinFileDisp>(list[0]).argCount, 2);
  EXPECT_EQ(list[1]->offset, 3);
  EXPECT_EQ(As<OpBuiltinFileDisp>(list[1]).argCount, 0);

  EXPECT_EQ(FailureOf({0x05, 0x26}), "Unrecognized File builtin 0x0026 on line 0");
  EXPECT_EQ(FailureOf({0x05, 0x25}), "(decoded)");
}

TEST(DecodeNext, VariantsFlagsAndLongJump) {
  const Bytes bytes = {0x92,                    // CVar, first form
                       0x73, 0x01, 0x02,        // ReDim member, one-byte dim
                       0x76, 0x01, 0x34, 0x12,  // ReDim Preserve member, 16-bit dim
                       0xDC, 0x07, 0x00,        // long jump through label 7
                       0xB4};                   // ">"
  DecodeCursor cursor{bytes};
  InstructionList list = DecodeAll(bytes, cursor);
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0]->opcode(), 147);
  EXPECT_EQ(As<OpCVar>(list[0]).variant, 146);
  EXPECT_EQ(list[1]->offset, 1);

  const auto& narrow = As<OpRedimObj>(list[1]);
  EXPECT_TRUE(narrow.byteOperand());
  EXPECT_FALSE(narrow.preserve());
  EXPECT_EQ(narrow.dimOperand, 2);
  const auto& wide = As<OpRedimObj>(list[2]);
  EXPECT_FALSE(wide.byteOperand());
  EXPECT_TRUE(wide.preserve());
  EXPECT_EQ(wide.dimOperand, 0x1234);

  const auto& longJmp = As<OpLongJmp>(list[3]);
  EXPECT_EQ(longJmp.longOperand, 7);
  EXPECT_EQ(longJmp.relTarget, 0);
  EXPECT_EQ(longJmp.kind(), 0);

  const auto& greater = As<OpBinaryOperator>(list[4]);
  EXPECT_EQ(greater.symbol, ">");
  EXPECT_EQ(greater.precedence, 9);
}

TEST(DecodeNext, CursorIsBoundedByTheData) {
  const Bytes bytes = {0x1A, 0x0A, 0x00, 0x3A, 0xF0, 0xFF, 0x1D};
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    const Bytes prefix(bytes.begin(), bytes.begin() + static_cast<long>(cut));
    DecodeCursor cursor{prefix};
    bool threw = false;
    try {
      for (int i = 0; i < 4; ++i) DecodeNext(cursor);  // never reaches an end instruction
    } catch (const CIllegalArgumentException&) {
      threw = true;
    }
    EXPECT_TRUE(threw) << cut;
    EXPECT_LE(static_cast<size_t>(cursor.position), prefix.size()) << cut;
  }

  DecodeCursor before{bytes, -1};
  EXPECT_THROW(DecodeNext(before), CIllegalArgumentException);
  DecodeCursor after{bytes, static_cast<int32_t>(bytes.size())};
  EXPECT_THROW(DecodeNext(after), CIllegalArgumentException);
}

// Operand bytes that exercise every operand byte (no 0x31 after an Evaluate).
Bytes OperandPattern(int length) {
  Bytes b;
  for (int i = 0; i < length; ++i) b.push_back(static_cast<uint8_t>(0x81 + 0x11 * i));
  return b;
}

TEST(DecodeNext, DecodeThenEncodeIsIdentityForEveryEncodableOpcode) {
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& info = LookupOpcode(op);
    if (!info.name || !info.encodable) continue;
    Bytes bytes = {static_cast<uint8_t>(op)};
    const Bytes operands = OperandPattern(OperandLength(info.layout));
    bytes.insert(bytes.end(), operands.begin(), operands.end());
    DecodeCursor cursor{bytes};
    InstructionList list;
    list.push_back(DecodeNext(cursor));
    EXPECT_EQ(cursor.position, static_cast<int32_t>(bytes.size())) << info.name;
    EXPECT_EQ(EncodeInstructions(list), bytes) << info.name;
  }
}

TEST(DecodeNext, EncodeDecodeEncodeKeepsFieldsAndOffsets) {
  InstructionList built;
  built.push_back(std::make_unique<OpLine>(uint16_t{0xFFFF}));
  built.push_back(std::make_unique<OpInteger>(int16_t{-300}));
  built.push_back(std::make_unique<OpJZ>(int16_t{25}));
  built.push_back(std::make_unique<OpPrintNoCR>(uint8_t{3}));
  built.push_back(std::make_unique<OpPLoad>(uint8_t{2}, uint16_t{0x1234}));
  built.push_back(std::make_unique<OpBinaryOperator>(196));
  built.push_back(std::make_unique<OpStringLiteral>(uint16_t{0xBEEF}));
  built.push_back(std::make_unique<OpStmtSep>());
  built.push_back(std::make_unique<OpEndSub>());
  const Bytes encoded = EncodeInstructions(built);

  DecodeCursor cursor{encoded};
  InstructionList decoded = DecodeAll(encoded, cursor);
  ASSERT_EQ(decoded.size(), built.size());
  EXPECT_EQ(EncodeInstructions(decoded), encoded);
  EXPECT_EQ(decoded[3]->opcode(), 64);
  EXPECT_EQ(As<OpBinaryOperator>(decoded[5]).symbol, "And");
  const std::vector<int32_t> offsets = {0, 3, 6, 9, 11, 15, 16, 19, 20};
  for (size_t i = 0; i < decoded.size(); ++i) EXPECT_EQ(decoded[i]->offset, offsets[i]) << i;
}

}  // namespace
}  // namespace quillet
