// Opcode bytes the runtime executes, by their names in the instruction-set
// table; any other opcode that decodes stops the run when it is reached.
#pragma once

#include <cstdint>

#include "bytecode/opcode_numbers.h"

namespace quillet::lsrun::op {

using namespace quillet::op;

// OpBinaryOperator and OpExp take the byte values from + to Like.
inline constexpr uint8_t kBinaryFirst = quillet::op::kAdd;
inline constexpr uint8_t kBinaryLast = quillet::op::kLike;

}  // namespace quillet::lsrun::op
