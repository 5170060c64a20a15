// Operand layouts of the byte-code instructions and the per-opcode descriptors
// built from the instruction-set table (opcodes.def).
#pragma once

#include <cstdint>

namespace quillet {

// The bytes that follow an opcode byte, in order. u16/s16 are little-endian;
// "skipN" bytes are kept but not interpreted; rel16 is a signed distance
// counted from the end of the instruction.
//
// | layout          | bytes after the opcode                        | after |
// |-----------------|-----------------------------------------------|-------|
// | kNone           | -                                             | 0     |
// | kU16            | u16 operand                                   | 2     |
// | kS16            | s16 value                                     | 2     |
// | kRel16          | s16 relTarget                                 | 2     |
// | kLongJump       | u16 longOperand                               | 2     |
// | kU8             | u8 subOperand                                 | 1     |
// | kU8U16          | u8 subOperand, u16 operand                    | 3     |
// | kU8U8           | u8 subOperand, u8 typeByte                    | 2     |
// | kS16U8          | s16 value, u8 typeByte                        | 3     |
// | kU16U8          | u16 operand, u8 subOperand                    | 3     |
// | kU16U8Skip1     | u16 operand, u8 subOperand, skip1             | 4     |
// | kU16Skip2       | u16 operand, skip2                            | 4     |
// | kU16Skip4       | u16 operand, skip4                            | 6     |
// | kU16Skip4Rel16  | u16 operand, skip4, s16 relTarget             | 8     |
// | kU16Rel16       | u16 operand, s16 relTarget                    | 4     |
// | kSkip2Rel16     | skip2, s16 relTarget                          | 4     |
// | kU16U16         | u16 eventOperand, u16 operand                 | 4     |
// | kU16Skip2U16    | u16 eventOperand, skip2, u16 operand          | 6     |
// | kU8Dim8         | u8 subOperand, u8 dimOperand                  | 2     |
// | kU8Dim16        | u8 subOperand, u16 dimOperand                 | 3     |
// | kSkip1/2/4      | 1, 2 or 4 bytes                               | 1/2/4 |
// | kCountTargets   | u8 count, count x s16 targets                 | 1+2n  |
// | kFileBuiltin    | u8 subOperand; u8 argCount for 3, 4, 5, 19    | 1/2   |
// | kU16OptPop      | u16 operand; one 0x31 byte when present       | 2/3   |
// | kOptPop         | one 0x31 byte when present                    | 0/1   |
enum class OperandLayout : uint8_t {
  kNone,
  kU16,
  kS16,
  kRel16,
  kLongJump,
  kU8,
  kU8U16,
  kU8U8,
  kS16U8,
  kU16U8,
  kU16U8Skip1,
  kU16Skip2,
  kU16Skip4,
  kU16Skip4Rel16,
  kU16Rel16,
  kSkip2Rel16,
  kU16U16,
  kU16Skip2U16,
  kU8Dim8,
  kU8Dim16,
  kSkip1,
  kSkip2,
  kSkip4,
  kCountTargets,
  kFileBuiltin,
  kU16OptPop,
  kOptPop,
};

// Marks a length or branch size that depends on the operand bytes.
inline constexpr int kVariableLength = -2;

// Bytes after the opcode for a fixed layout; kVariableLength otherwise.
constexpr int OperandLength(OperandLayout layout) {
  switch (layout) {
    case OperandLayout::kNone: return 0;
    case OperandLayout::kU8:
    case OperandLayout::kSkip1: return 1;
    case OperandLayout::kU16:
    case OperandLayout::kS16:
    case OperandLayout::kRel16:
    case OperandLayout::kLongJump:
    case OperandLayout::kU8U8:
    case OperandLayout::kU8Dim8:
    case OperandLayout::kSkip2: return 2;
    case OperandLayout::kU8U16:
    case OperandLayout::kS16U8:
    case OperandLayout::kU16U8:
    case OperandLayout::kU8Dim16: return 3;
    case OperandLayout::kU16U8Skip1:
    case OperandLayout::kU16Skip2:
    case OperandLayout::kU16Rel16:
    case OperandLayout::kSkip2Rel16:
    case OperandLayout::kU16U16:
    case OperandLayout::kSkip4: return 4;
    case OperandLayout::kU16Skip4:
    case OperandLayout::kU16Skip2U16: return 6;
    case OperandLayout::kU16Skip4Rel16: return 8;
    case OperandLayout::kCountTargets:
    case OperandLayout::kFileBuiltin:
    case OperandLayout::kU16OptPop:
    case OperandLayout::kOptPop: return kVariableLength;
  }
  return kVariableLength;
}

// The branch size a layout gives its instruction: the whole instruction length
// for layouts that carry one relative target, 2 + 2 x count for target lists
// (kVariableLength here), -1 for layouts without targets.
constexpr int BranchSizeOf(OperandLayout layout) {
  switch (layout) {
    case OperandLayout::kRel16:
    case OperandLayout::kLongJump:
    case OperandLayout::kU16Rel16:
    case OperandLayout::kSkip2Rel16:
    case OperandLayout::kU16Skip4Rel16: return 1 + OperandLength(layout);
    case OperandLayout::kCountTargets: return kVariableLength;
    default: return -1;
  }
}

// Whether a layout carries targets relative to the instruction: one (a jump,
// a loop's exit or back edge, an error or Resume label) or a counted list.
constexpr bool HasRelativeTargets(OperandLayout layout) {
  switch (layout) {
    case OperandLayout::kRel16:
    case OperandLayout::kU16Rel16:
    case OperandLayout::kSkip2Rel16:
    case OperandLayout::kU16Skip4Rel16:
    case OperandLayout::kCountTargets: return true;
    default: return false;
  }
}

// One row of the instruction-set table.
struct OpcodeInfo {
  const char* name = nullptr;  // class name; nullptr: not part of the set
  OperandLayout layout = OperandLayout::kNone;
  bool encodable = false;      // emit writes this opcode's bytes
};

// The descriptor of an opcode byte value; its `name` is nullptr when the value
// is not part of the instruction set (and for anything outside 0-255).
const OpcodeInfo& LookupOpcode(int opcode);

// Stores in `rel` the signed 16-bit distance from `from` (the end of the jump
// instruction or target slot) to `target`. False, with `rel` unchanged, when the
// distance does not fit 16 bits: the jump cannot reach its target.
[[nodiscard]] constexpr bool EncodeRelTarget(int64_t from, int64_t target, int16_t& rel) {
  const int64_t distance = target - from;
  if (distance < INT16_MIN || distance > INT16_MAX) return false;
  rel = static_cast<int16_t>(distance);
  return true;
}

}  // namespace quillet
