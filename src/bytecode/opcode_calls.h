// Built-in calls, event bindings, Evaluate/Execute and Use.
#pragma once

#include <array>
#include <cstdint>

#include "bytecode/opcode_plain.h"

namespace quillet {

// Call of file built-in `subOperand` (0-37); built-ins 3, 4, 5 and 19 carry an
// argument count byte as well.
class OpBuiltinFileDisp : public COpCode {
 public:
  static constexpr uint8_t kLastFileBuiltin = 37;

  OpBuiltinFileDisp() = default;
  OpBuiltinFileDisp(uint8_t builtin, uint8_t args = 0) : subOperand(builtin), argCount(args) {}

  // True for the file built-ins followed by an argument count byte.
  static bool TakesArgCount(uint8_t builtin) {
    return builtin == 3 || builtin == 4 || builtin == 5 || builtin == 19;
  }

  int opcode() const override { return 5; }
  // Reads the number and, when it takes one, the count. The number is not
  // checked against the set of file built-ins here.
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint8_t subOperand = 0;
  uint8_t argCount = 0;  // only for TakesArgCount(subOperand)
};

// On Event eventOperand From ... Call operand.
class OpOnEventCall : public COpCode {
 public:
  OpOnEventCall() = default;
  OpOnEventCall(uint16_t event, uint16_t handler) : eventOperand(event), operand(handler) {}

  int opcode() const override { return 204; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t eventOperand = 0;
  uint16_t operand = 0;
};

// On Event ... Remove.
class OpOnEventRemove : public OpOnEventCall {
 public:
  using OpOnEventCall::OpOnEventCall;
  int opcode() const override { return 206; }
};

// The product-event form: eventOperand, 2 kept bytes, operand.
class OpOnProdEventCall : public COpCode {
 public:
  OpOnProdEventCall() = default;
  OpOnProdEventCall(uint16_t event, uint16_t handler) : eventOperand(event), operand(handler) {}

  int opcode() const override { return 203; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t eventOperand = 0;
  std::array<uint8_t, 2> skipped{};
  uint16_t operand = 0;
};

class OpOnProdEventRemove : public OpOnProdEventCall {
 public:
  using OpOnProdEventCall::OpOnProdEventCall;
  int opcode() const override { return 205; }
};

// The Pop (0x31) that may follow Evaluate or Execute belongs to the instruction.
inline constexpr uint8_t kPopsResultByte = 0x31;

// Evaluate of formula `operand`; popsResult when the result is discarded.
class OpEvaluate : public COpCode {
 public:
  OpEvaluate() = default;
  explicit OpEvaluate(uint16_t formula, bool pops = false) : operand(formula), popsResult(pops) {}

  int opcode() const override { return 212; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t operand = 0;
  bool popsResult = false;
};

// Execute statement; popsResult as for OpEvaluate.
class OpExecute : public COpCode {
 public:
  OpExecute() = default;
  explicit OpExecute(bool pops) : popsResult(pops) {}

  int opcode() const override { return 213; }
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  bool popsResult = false;
};

// Use of a script library (signed `value`).
class OpUse : public OpFixed<210, OperandLayout::kS16, false> {
 public:
  using OpFixed::OpFixed;
};

// UseLSX of an extension.
class OpUseLSX : public OpUse {
 public:
  using OpUse::OpUse;
  int opcode() const override { return 211; }
};

}  // namespace quillet
