// Loads of members, elements and external properties, and ReDim.
#pragma once

#include <array>
#include <cstdint>

#include "bytecode/opcode_plain.h"

namespace quillet {

// Member object load, opcode 76 or 77.
class OpMLoadObj : public OpVariant<OperandLayout::kU16> {
 public:
  using OpVariant::OpVariant;
};

// External property load, opcode 79 or 81.
class OpLoadExtProp : public OpVariant<OperandLayout::kU16> {
 public:
  using OpVariant::OpVariant;
};

// Array element access, opcodes 103-112.
class OpElem : public OpVariant<OperandLayout::kU16> {
 public:
  using OpVariant::OpVariant;
};

// ReDim of array `operand`: 113 plain, 114 Preserve.
class OpRedim : public OpVariant<OperandLayout::kU16> {
 public:
  using OpVariant::OpVariant;
};

// ReDim of a member array. 115 and 117 carry a one-byte dimOperand, 116 and 118
// a 16-bit one; 117 and 118 preserve the contents.
class OpRedimObj : public COpCode {
 public:
  explicit OpRedimObj(int variant_opcode = 115) : variant(variant_opcode) {}

  int opcode() const override { return variant; }
  bool byteOperand() const { return variant == 115 || variant == 117; }
  bool preserve() const { return variant == 117 || variant == 118; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  int32_t variant;
  uint8_t subOperand = 0;
  uint16_t dimOperand = 0;
};

// External property load with 4 kept bytes.
class OpLoadExtProp55 : public COpCode {
 public:
  int opcode() const override { return 85; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t operand = 0;
  std::array<uint8_t, 4> skipped{};
};

// Element `subOperand` of object member `operand`.
class OpLoadElemFromObj : public COpCode {
 public:
  int opcode() const override { return 101; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t operand = 0;
  uint8_t subOperand = 0;
};

// Reference to an element of an object member, with one kept byte.
class OpLoadElemPtrFromObj : public COpCode {
 public:
  int opcode() const override { return 102; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t operand = 0;
  uint8_t subOperand = 0;
  std::array<uint8_t, 1> skipped{};
};

}  // namespace quillet
