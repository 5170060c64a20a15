// Line markers, statement separators, Print and the other instructions with a
// layout of their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bytecode/opcode_plain.h"

namespace quillet {

// Start of a source line. 0xFFFF marks a line the compiler made up.
class OpLine : public COpCode {
 public:
  static constexpr uint16_t kSyntheticLine = 0xFFFF;

  OpLine() = default;
  explicit OpLine(uint16_t line_number) : line(line_number) {}

  int opcode() const override { return 26; }
  int emit(std::vector<uint8_t>& buffer, int position) const override;
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return r.ReadU16(line); }

  // Attaches a pseudo-source line (such as "End If") at a byte offset, after any
  // annotation at the same or a lower offset, so the list stays ordered.
  void AddAnnotation(int32_t at, std::string text);

  uint16_t line = 0;
  uint8_t isCaseLine = 0;  // 1 on the line marker of a Case clause
  std::vector<std::pair<int32_t, std::string>> annotations;
};

// Statement separator; `mark`: 1 loop head, 2 End If, 3 End Select, 4 Case.
class OpStmtSep : public OpFixed<27, OperandLayout::kNone, true> {
 public:
  int32_t mark = 0;
};

// Discards the top of the stack; `mark` 1 when no jump precedes it.
class OpPop : public OpFixed<49, OperandLayout::kNone, false> {
 public:
  int32_t mark = 0;
};

// Print of subOperand values followed by a new line.
class OpPrint : public COpCode, public OperandFields<OperandLayout::kU8> {
 public:
  using OperandFields::OperandFields;
  OpPrint() = default;

  int opcode() const override { return 63; }
  // Writes opcode() so that OpPrintNoCR keeps its own byte.
  int emit(std::vector<uint8_t>& buffer, int position) const override;
};

// Print without the new line (a trailing ";").
class OpPrintNoCR : public OpPrint {
 public:
  using OpPrint::OpPrint;
  int opcode() const override { return 64; }
};

// Property assignment, opcode 33 or 34.
class OpAssignProp : public OpVariant<OperandLayout::kNone> {
 public:
  explicit OpAssignProp(int variant_opcode = 33) : OpVariant(variant_opcode) {}
};

// A small constant pushed with an explicit type byte.
class OpSByteAs : public COpCode {
 public:
  OpSByteAs() = default;
  OpSByteAs(uint8_t value, uint8_t type) : subOperand(value), typeByte(type) {}

  int opcode() const override { return 143; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint8_t subOperand = 0;
  uint8_t typeByte = 0;
};

// An Integer literal pushed with an explicit type byte.
class OpIntegerAs : public COpCode {
 public:
  OpIntegerAs() = default;
  OpIntegerAs(int16_t v, uint8_t type) : value(v), typeByte(type) {}

  int opcode() const override { return 145; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  int16_t value = 0;
  uint8_t typeByte = 0;
};

// On Error Resume Next for error `operand`, with 2 kept bytes.
class OpOnErrorResume : public COpCode {
 public:
  OpOnErrorResume() = default;
  explicit OpOnErrorResume(uint16_t operand_value) : operand(operand_value) {}

  int opcode() const override { return 12; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t operand = 0;
  std::array<uint8_t, 2> skipped{};
};

}  // namespace quillet
