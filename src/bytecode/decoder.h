// The byte-code decoder: one instruction object per call, strictly checked.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "bytecode/opcode.h"

namespace quillet {

struct InstructionArrays;  // marking.h

// A position in a byte block being decoded and the source line it is on.
struct DecodeCursor {
  std::span<const uint8_t> code;  // read only, never changed
  int32_t position = 0;           // the next byte to read
  int32_t currentLine = 0;        // line of the most recent OpLine read here
};

// Decodes the instruction at cursor.position and moves the cursor past it.
// The instruction's offset is the position of its opcode byte; OpLine updates
// currentLine. Throws CIllegalArgumentException (lsobject/module_errors.h),
// returning nothing, for
//   - an opcode outside the instruction set
//       "Unknown opcode: 0x%.4X on line %d (offset: %X)" (position moved past
//       the opcode byte);
//   - a built-in number outside the known ranges
//       "Unrecognized builtin 0x%.4X on line %d\n";
//   - a file built-in number above 37
//       "Unrecognized File builtin 0x%.4X on line %d";
//   - a position outside the block, or an instruction whose operands run past
//     its end (position left at the opcode byte).
std::unique_ptr<COpCode> DecodeNext(DecodeCursor& cursor);

// DecodeNext's checks without the instruction: true, with the cursor moved
// past the instruction (and currentLine kept), where DecodeNext would return
// one; false, the cursor unchanged, where it would throw. Takes no
// instruction memory, for walks that only need where code ends.
[[nodiscard]] bool SkipNext(DecodeCursor& cursor) noexcept;

// SkipNext over a procedure's code: from `start` up to its first OpEndSub,
// whose offset is returned; -1 where SkipNext would refuse an instruction
// first or the code runs out. With `out`, every instruction before the
// OpEndSub is appended: its offset - start + base and its decoded opcode.
// With `lengths`, every instruction's length (the OpEndSub's too; 0 for one
// over 255 bytes). Throws only what appending throws.
int32_t WalkProcedure(std::span<const uint8_t> code, int32_t start, int32_t base, InstructionArrays* out,
                      std::vector<uint8_t>* lengths = nullptr);

// The length of the instruction at `at` as SkipNext finds it; 0 where it
// would refuse it.
size_t InstructionLength(std::span<const uint8_t> code, size_t at) noexcept;

// True for the built-in numbers OpBuiltinDisp may carry: 0-90, 94-95,
// 112-123, 126-131 and 163-174.
bool IsKnownBuiltin(int number);

}  // namespace quillet
