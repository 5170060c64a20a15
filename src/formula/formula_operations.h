// The operations of a compiled formula's operation stream: the size each
// occupies and its effect on the evaluation stack, which is all validation
// and re-encoding need (not what each operation computes).
//
// An operation starts with a 16-bit operation word `op` and occupies an even
// number of bytes (odd sizes round up):
//
//   op                            size            stack effect
//   >= 0x100, low byte 0xFB       4               1 - (op >> 8)
//   >= 0x100, other low byte      2               1 - (op >> 8)
//   0xFC..0xFF                    2               +1
//   0, 2      number              10              +1
//   1, 5      string, name        4 + u16 at +2   +1
//   3, 4                          2               0
//   6                             18              +1
//   174       jump                4               0   u16 at +2: target - op start
//   175       two-way jump        6               0   u16 at +2: target - op start,
//                                                     u16 at +4: target - (op start + 4)
//   251       extended operation  4               +1  its code is the u16 at +2
//   other >= 32                   2               +1
//   other < 32                    invalid
//
// Jump offsets are taken modulo 2^16, so they reach backwards as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "config/status.h"

namespace quillet {

inline constexpr uint16_t kOpNumber = 0;
inline constexpr uint16_t kOpString = 1;
inline constexpr uint16_t kOpNumberAlt = 2;
inline constexpr uint16_t kOpName = 5;
inline constexpr uint16_t kOpJump = 174;
inline constexpr uint16_t kOpTwoWayJump = 175;
inline constexpr uint16_t kOpExtended = 251;
inline constexpr size_t kTextOperationHeader = 4;     // op word and length of a string or name
inline constexpr size_t kTwoWaySecondOrigin = 4;      // the second offset counts from its own field

struct FormulaOperation {
  uint16_t op = 0;
  size_t size = 0;      // bytes, even
  int stackEffect = 0;  // values pushed minus values popped
};

// Describes the operation at `pos` of `stream`: kErrBadFormulaOperation for
// an operation word without a size, kErrBadFormulaExpression when the
// operation runs past the stream.
[[nodiscard]] Status32 DescribeOperation(std::span<const uint8_t> stream, size_t pos, FormulaOperation& operation);

}  // namespace quillet
