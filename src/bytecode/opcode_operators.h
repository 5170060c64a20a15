// Operators and conversions: binary operators with their symbol and precedence,
// CVar and the compiler's internal conversions.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bytecode/opcode_plain.h"

namespace quillet {

// A binary operator; `variant` is its opcode. Decoded operators carry the
// source symbol and precedence (larger binds tighter); an operator built in
// memory has an empty symbol and precedence 0x7FFFFFFF, only `variant` is encoded.
class OpBinaryOperator : public OpVariant<OperandLayout::kNone> {
 public:
  static constexpr int32_t kNoPrecedence = 0x7FFFFFFF;

  explicit OpBinaryOperator(int variant_opcode) : OpVariant(variant_opcode) {}
  // An operator as the decoder builds it: symbol and precedence from the
  // operator table; nullptr when `variant_opcode` is not a binary operator.
  static std::unique_ptr<OpBinaryOperator> Decoded(int variant_opcode);

  int emit(std::vector<uint8_t>& buffer, int position) const override;

  std::string symbol;  // at most 11 characters
  int32_t precedence = kNoPrecedence;
};

// Symbol and precedence of a binary-operator opcode; false for other opcodes.
bool LookupBinaryOperator(int opcode, const char*& symbol, int32_t& precedence);

// CVar, decoded from 146 or 147; it answers 147 either way.
class OpCVar : public OpVariant<OperandLayout::kNone> {
 public:
  explicit OpCVar(int variant_opcode = 147) : OpVariant(variant_opcode) {}
  int opcode() const override { return 147; }
};

// A conversion the compiler inserts: 156 without operands, 157 with 2 and 158
// with 4 kept bytes (the first 0, 2 or 4 of `skipped`).
class OpInternalCast : public COpCode {
 public:
  explicit OpInternalCast(int variant_opcode = 156) : variant(variant_opcode) {}

  int opcode() const override { return variant; }
  // The number of kept bytes after the opcode.
  size_t keptLength() const { return variant == 158 ? 4u : variant == 157 ? 2u : 0u; }
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return ReadKept(r, skipped.data(), keptLength()); }

  int32_t variant;
  std::array<uint8_t, 4> skipped{};
};

}  // namespace quillet
