// Decoding one procedure's byte code into a marked instruction list.
#pragma once

#include <cstdint>
#include <span>

#include "bytecode/opcode.h"
#include "bytecode/marking.h"

namespace quillet {

class CLSScriptModule;

// Decodes the procedure whose code starts at `codeOffset` of `code` up to its
// OpEndSub (which is not kept), then marks its control structures with
// `isLabel` and `procedure`. On success `list` holds the instructions in byte
// order and true is returned. Any failure - unknown opcode or built-in, code
// running past the end without OpEndSub, a jump target that is no instruction
// of the procedure, a neighbour outside it, or any other exception - leaves
// `list` empty and returns false; nothing is thrown. Whatever `list` held
// before is replaced.
[[nodiscard]] bool DecodeProcedureCode(std::span<const uint8_t> code, int32_t codeOffset, const LabelLookup& isLabel,
                                       int32_t procedure, InstructionList& list) noexcept;

// Marks `list`, decoded from `procedure` (a symbol handle) of `module`: a jump
// to the code offset of one of the procedure's labels is a GoTo, not a
// structural jump. Throws as the list-level MarkControlStructures.
void MarkControlStructures(uint32_t procedure, CLSScriptModule& module, InstructionList& list);

// Decodes and marks the code of `procedure` (a symbol handle) of `module`,
// starting at the code offset of its entry; as DecodeProcedureCode, false with
// an empty list on any failure, nothing thrown.
[[nodiscard]] bool DecodeProcedure(CLSScriptModule& module, uint32_t procedure, InstructionList& list) noexcept;

}  // namespace quillet
