// Instructions whose class follows from opcode and layout alone: the templates
// and the classes the instruction-set table marks "Gen".
#pragma once

#include <cstdint>
#include <vector>

#include "bytecode/opcode.h"
#include "bytecode/opcode_layout.h"
#include "bytecode/operand_fields.h"

namespace quillet {

// An instruction with one fixed opcode byte `Op` whose operands follow layout L.
// Encodable instructions write the opcode and the operand bytes; the others
// write nothing.
template <int Op, OperandLayout L, bool Encodable>
class OpFixed : public COpCode, public OperandFields<L> {
 public:
  using OperandFields<L>::OperandFields;
  OpFixed() = default;

  int opcode() const override { return Op; }
  int branchSize() const override { return BranchSizeOf(L); }
  int emit(std::vector<uint8_t>& buffer, int position) const override {
    if constexpr (!Encodable) {
      return COpCode::emit(buffer, position);
    } else {
      constexpr int kLength = 1 + OperandLength(L);
      uint8_t* p = EmitSpace(buffer, position, kLength);
      p[0] = static_cast<uint8_t>(Op);
      this->WriteTo(p + 1);
      return kLength;
    }
  }

  // The absolute byte position of the jump target.
  int32_t target() const
    requires(L == OperandLayout::kRel16)
  {
    return offset + branchSize() + this->relTarget;
  }
  // Points the jump at `absolute`, counted from this instruction's current
  // offset. False, with relTarget unchanged, when the target is out of reach.
  [[nodiscard]] bool setTarget(int32_t absolute)
    requires(L == OperandLayout::kRel16)
  {
    return EncodeRelTarget(static_cast<int64_t>(offset) + branchSize(), absolute, this->relTarget);
  }
};

// An instruction class standing for several opcodes with the same operand
// layout; it keeps the opcode it was decoded from (or built for) in `variant`.
template <OperandLayout L>
class OpVariant : public COpCode, public OperandFields<L> {
 public:
  explicit OpVariant(int variant_opcode) : variant(variant_opcode) {}
  template <typename... Fields>
  OpVariant(int variant_opcode, Fields... fields) : OperandFields<L>(fields...), variant(variant_opcode) {}

  int opcode() const override { return variant; }

  int32_t variant;
};

// The classes of the table rows marked Gen, e.g. OpLoadProc (41, one handle).
#define QUILLET_PLAIN_Gen(byte, Class, Layout, Enc)                  \
  class Class : public OpFixed<byte, OperandLayout::Layout, Enc> { \
   public:                                                         \
    using OpFixed::OpFixed;                                        \
  };
#define QUILLET_PLAIN_Own(byte, Class, Layout, Enc)
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) QUILLET_PLAIN_##Def(byte, Class, Layout, Enc)
#include "bytecode/opcodes.def"
#undef QUILLET_PLAIN_Gen
#undef QUILLET_PLAIN_Own

}  // namespace quillet
