// Instructions that carry relative jump targets. Targets are kept as decoded
// (relative) and offered as absolute byte positions; setTarget re-encodes an
// absolute target with a range check, so a target out of reach is refused
// instead of wrapping.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "bytecode/opcode_plain.h"

namespace quillet {

// Conditional jumps. `mark` classifies the jump once control structures are
// marked (1 loop back-edge, 2 tested by a back-edge, 3 followed by Pop/Dup,
// 4 If test, 5 If test whose end is already marked); 0 after decoding.
class OpJZ : public OpFixed<56, OperandLayout::kRel16, true> {
 public:
  using OpFixed::OpFixed;
  int32_t mark = 0;
};

class OpJNZ : public OpFixed<57, OperandLayout::kRel16, false> {
 public:
  using OpFixed::OpFixed;
  int32_t mark = 0;
};

// Unconditional jump. Slots 4-7 of the virtual table follow emit in this order:
// target, setKind, setCaseTargets, kind.
class OpJmp : public COpCode {
 public:
  OpJmp() = default;
  explicit OpJmp(int16_t rel) : relTarget(rel) {}

  int opcode() const override { return 58; }
  int branchSize() const override { return 3; }

  // offset + branchSize + relTarget: the absolute position the jump goes to.
  virtual int target() const { return offset + branchSize() + relTarget; }
  virtual void setKind(int kind) { kind_ = kind; }
  // Records a case dispatch: the case targets, the extra value and the value;
  // the kind becomes 8.
  virtual void setCaseTargets(const std::vector<int32_t>& targets, int32_t extra, int value);
  // 0 after decoding; 1 back-edge, 2 Select exit, 3 structural forward jump,
  // 4 jump over an Else part, 5 after Next, 6 after NextForAll, 7 after a loop
  // back-edge, 8 case dispatch, 9 return to a case dispatch.
  virtual int kind() const { return kind_; }

  // See OpFixed::setTarget.
  [[nodiscard]] bool setTarget(int32_t absolute);
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  int16_t relTarget = 0;
  int32_t caseValue = 0;
  std::vector<int32_t> caseTargets;
  int32_t caseExtra = 0;

 private:
  int32_t kind_ = 0;
};

// A jump through a label number; its relTarget stays 0.
class OpLongJmp : public OpJmp {
 public:
  OpLongJmp() = default;
  explicit OpLongJmp(uint16_t label) : longOperand(label) {}

  int opcode() const override { return 220; }
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return r.ReadU16(longOperand); }

  uint16_t longOperand = 0;
};

// ForAll loop entry over `operand`; relTarget leads past the loop.
class OpForAll : public COpCode {
 public:
  OpForAll() = default;
  OpForAll(uint16_t operand_value, int16_t rel) : operand(operand_value), relTarget(rel) {}

  int opcode() const override { return 53; }
  int branchSize() const override { return 5; }
  int32_t target() const { return offset + branchSize() + relTarget; }
  [[nodiscard]] bool setTarget(int32_t absolute);
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t operand = 0;
  int16_t relTarget = 0;
};

// End of a ForAll loop: 2 kept bytes, then relTarget back to the loop body.
class OpNextForAll : public COpCode {
 public:
  int opcode() const override { return 55; }
  int branchSize() const override { return 5; }
  int32_t target() const { return offset + branchSize() + relTarget; }
  [[nodiscard]] bool setTarget(int32_t absolute);
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  std::array<uint8_t, 2> skipped{};
  int16_t relTarget = 0;
};

// On Error Goto: `operand`, 4 kept bytes, relTarget of the handler.
class OpOnErrorGoto : public COpCode {
 public:
  OpOnErrorGoto() = default;
  OpOnErrorGoto(uint16_t operand_value, int16_t rel) : operand(operand_value), relTarget(rel) {}

  int opcode() const override { return 11; }
  int branchSize() const override { return 9; }
  int32_t target() const { return offset + branchSize() + relTarget; }
  [[nodiscard]] bool setTarget(int32_t absolute);
  [[nodiscard]] bool ReadFrom(ByteReader& r);

  uint16_t operand = 0;
  std::array<uint8_t, 4> skipped{};
  int16_t relTarget = 0;
};

// On n GoTo / GoSub: a count byte and that many signed 16-bit targets, each
// counted from the end of its own 2-byte slot.
template <int Op>
class OnTargetList : public COpCode {
 public:
  OnTargetList() = default;
  explicit OnTargetList(std::vector<int16_t> rel) : targets(std::move(rel)) {}

  int opcode() const override { return Op; }
  int branchSize() const override { return 2 + 2 * count(); }
  // The number of targets (the count byte holds at most 255).
  int count() const { return static_cast<int>(targets.size()); }
  // REQUIRES: 0 <= i < count().
  int32_t target(int i) const { return offset + 4 + 2 * i + targets[static_cast<size_t>(i)]; }
  [[nodiscard]] bool setTarget(int i, int32_t absolute) {
    return EncodeRelTarget(static_cast<int64_t>(offset) + 4 + 2 * i, absolute,
                           targets[static_cast<size_t>(i)]);
  }
  [[nodiscard]] bool ReadFrom(ByteReader& r) {
    uint8_t n = 0;
    if (!r.ReadU8(n)) return false;
    if (r.remaining() < 2u * n) return false;
    targets.assign(n, 0);
    for (auto& t : targets) (void)ReadS16(r, t);
    return true;
  }

  std::vector<int16_t> targets;
};

class OpOnGoto : public OnTargetList<59> {
 public:
  using OnTargetList::OnTargetList;
};
class OpOnGosub : public OnTargetList<61> {
 public:
  using OnTargetList::OnTargetList;
};

}  // namespace quillet
