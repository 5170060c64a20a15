// Tests of instruction encoding and EncodeInstructions.
#include "bytecode/opcode.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bytecode/opcodes.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

template <class T, class... A>
void Add(InstructionList& list, A... args) {
  list.push_back(std::make_unique<T>(args...));
}

TEST(EncodeInstructions, LineIntegerCallSeparatorGiveEightBytes) {
  InstructionList list;
  Add<OpLine>(list, uint16_t{0xFFFF});
  Add<OpInteger>(list, int16_t{3});
  Add<OpCallProc>(list);
  Add<OpStmtSep>(list);
  EXPECT_EQ(EncodeInstructions(list), (Bytes{0x1A, 0xFF, 0xFF,  // OpLine 0xFFFF
                                             0x90, 0x03, 0x00,  // OpInteger 3
                                             0x23,              // OpCallProc
                                             0x1B}));           // OpStmtSep
}

TEST(EncodeInstructions, EmptyListGivesEmptyBlock) {
  EXPECT_TRUE(EncodeInstructions(InstructionList{}).empty());
}

TEST(EncodeInstructions, EveryEncodableClassWritesItsBytes) {
  InstructionList list;
  Add<OpAssign>(list);
  Add<OpSet>(list);
  Add<OpCallProc>(list);
  Add<OpStmtSep>(list);
  Add<OpEndSub>(list);
  Add<OpIntOne>(list);
  Add<OpBinaryOperator>(list, 196);
  Add<OpLine>(list, uint16_t{0x1234});
  Add<OpInteger>(list, int16_t{-2});
  Add<OpLoadProc>(list, uint16_t{0x0102});
  Add<OpLoadCtor>(list, uint16_t{0x0304});
  Add<OpTLoadObj>(list, uint16_t{0x0506});
  Add<OpPLoadObj>(list, uint16_t{0x0708});
  Add<OpLLoadObj>(list, uint16_t{0x090A});
  Add<OpTLoadObjPtr>(list, uint16_t{0x0B0C});
  Add<OpLLoadObjPtr>(list, uint16_t{0x0D0E});
  Add<OpStringLiteral>(list, uint16_t{0x8001});
  Add<OpJZ>(list, int16_t{-3});
  Add<OpAssignLocal>(list, uint8_t{7});
  Add<OpSByte>(list, uint8_t{0xFE});
  Add<OpPrint>(list, uint8_t{2});
  Add<OpPrintNoCR>(list, uint8_t{1});
  Add<OpPLoad>(list, uint8_t{0x11}, uint16_t{0x2233});
  Add<OpTLoad>(list, uint8_t{0x44}, uint16_t{0x5566});
  Add<OpTLoadPtr>(list, uint8_t{0x77}, uint16_t{0x8899});
  const Bytes expected = {
      0xA5,              // OpAssign
      0xA6,              // OpSet
      0x23,              // OpCallProc
      0x1B,              // OpStmtSep
      0x1D,              // OpEndSub
      0x86,              // OpIntOne
      0xC4,              // OpBinaryOperator "And" (its variant)
      0x1A, 0x34, 0x12,  // OpLine 0x1234
      0x90, 0xFE, 0xFF,  // OpInteger -2
      0x29, 0x02, 0x01,  // OpLoadProc 0x0102
      0x2A, 0x04, 0x03,  // OpLoadCtor 0x0304
      0x48, 0x06, 0x05,  // OpTLoadObj 0x0506
      0x49, 0x08, 0x07,  // OpPLoadObj 0x0708
      0x4A, 0x0A, 0x09,  // OpLLoadObj 0x090A
      0x5C, 0x0C, 0x0B,  // OpTLoadObjPtr 0x0B0C
      0x5E, 0x0E, 0x0D,  // OpLLoadObjPtr 0x0D0E
      0x7D, 0x01, 0x80,  // OpStringLiteral 0x8001
      0x38, 0xFD, 0xFF,  // OpJZ -3
      0xA7, 0x07,        // OpAssignLocal 7
      0x8E, 0xFE,        // OpSByte 0xFE
      0x3F, 0x02,        // OpPrint 2
      0x40, 0x01,        // OpPrintNoCR 1: its own opcode, not OpPrint's
      0x57, 0x11, 0x33, 0x22,  // OpPLoad 0x11, 0x2233
      0x59, 0x44, 0x66, 0x55,  // OpTLoad 0x44, 0x5566
      0x63, 0x77, 0x99, 0x88,  // OpTLoadPtr 0x77, 0x8899
  };
  EXPECT_EQ(EncodeInstructions(list), expected);
  for (const auto& op : list) EXPECT_TRUE(op->encodable()) << op->name();
}

TEST(EncodeInstructions, JZAndPrintNoCROwnBytes) {
  InstructionList list;
  Add<OpJZ>(list, int16_t{25});
  Add<OpPrintNoCR>(list, uint8_t{3});
  EXPECT_EQ(EncodeInstructions(list), (Bytes{0x38, 0x19, 0x00,  // OpJZ 25
                                             0x40, 0x03}));     // OpPrintNoCR 3
}

TEST(EncodeInstructions, NonEncodableInstructionsContributeNothing) {
  InstructionList list;
  Add<OpIntOne>(list);
  Add<OpJNZ>(list, int16_t{4});
  Add<OpElem>(list, 105, uint16_t{9});
  list.push_back(nullptr);  // an empty slot is passed over as well
  Add<OpCallProc>(list);
  EXPECT_EQ(EncodeInstructions(list), (Bytes{0x86,     // OpIntOne
                                             0x23}));  // OpCallProc
  EXPECT_FALSE(list[1]->encodable());
  EXPECT_FALSE(list[2]->encodable());
}

TEST(Emit, GrowsAShortBufferAndKeepsEarlierBytes) {
  Bytes buffer = {0xEE};
  const OpTLoad load(uint8_t{1}, uint16_t{0x0203});
  ASSERT_EQ(load.emit(buffer, 3), 4);  // position beyond the end: the gap is zero-filled
  EXPECT_EQ(buffer, (Bytes{0xEE, 0, 0, 0x59, 0x01, 0x03, 0x02}));
  const OpLine line(uint16_t{7});
  ASSERT_EQ(line.emit(buffer, 1), 3);  // overwrites in place without growing
  EXPECT_EQ(buffer, (Bytes{0xEE, 0x1A, 0x07, 0x00, 0x01, 0x03, 0x02}));
}

TEST(Emit, BaseClassAndOperatorBuiltInMemory) {
  Bytes buffer;
  const COpCode bare;
  EXPECT_EQ(bare.opcode(), -1);
  EXPECT_EQ(bare.emit(buffer, 0), 0);
  EXPECT_TRUE(buffer.empty());
  EXPECT_STREQ(bare.name(), "COpCode");

  const OpBinaryOperator plus(168);
  EXPECT_TRUE(plus.symbol.empty());
  EXPECT_EQ(plus.precedence, 0x7FFFFFFF);
  EXPECT_EQ(plus.opcode(), 168);
}

}  // namespace
}  // namespace quillet
