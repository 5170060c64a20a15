// The opcode byte values by name, taken from the instruction-set table: code
// that tests or emits a particular opcode names it here and never restates
// its number.
#pragma once

#include <cstdint>

namespace quillet::op {

#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) inline constexpr uint8_t Name = byte;
#include "bytecode/opcodes.def"

// The array-element forms and the binary operators take runs of byte values.
inline constexpr uint8_t kElemFirst = kElem103;
inline constexpr uint8_t kElemLast = kElem112;

}  // namespace quillet::op
