// The whole instruction family, the instruction-set descriptors and the
// construction of instructions from opcode bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "bytecode/opcode.h"
#include "bytecode/opcode_calls.h"
#include "bytecode/opcode_jumps.h"
#include "bytecode/opcode_layout.h"
#include "bytecode/opcode_loads.h"
#include "bytecode/opcode_misc.h"
#include "bytecode/opcode_operators.h"
#include "bytecode/opcode_plain.h"
#include "util/bytes.h"

namespace quillet {

// The instruction for `opcode` with every operand 0 (and `variant`, symbol and
// precedence set as decoding sets them); nullptr when the byte is not part of
// the instruction set.
std::unique_ptr<COpCode> MakeInstruction(int opcode);

// The opcode() of an instruction decoded from byte `b`, without building one;
// -1 outside the instruction set. A few classes answer another opcode than the
// byte they are read from (both CVar forms answer 147).
int DecodedOpcode(uint8_t b);
// The same for every byte at once, for loops over many instructions.
const std::array<int16_t, 256>& DecodedOpcodes();

enum class ReadResult {
  kOk,
  kUnknownOpcode,  // the byte is not part of the instruction set
  kTruncated,      // the operands run past the end of the data
};

// Reads the instruction at the reader's position: the opcode byte, then its
// operands as the table lays them out. On kOk `out` holds the instruction with
// `offset` = its opcode byte's position, and the reader stands after it; on any
// failure `out` is untouched and the reader stays at the opcode byte. Nothing
// beyond the operand layout is checked (built-in numbers are the decoder's).
[[nodiscard]] ReadResult ReadInstruction(ByteReader& reader, std::unique_ptr<COpCode>& out);

}  // namespace quillet
