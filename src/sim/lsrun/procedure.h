// A procedure ready to run: its byte code decoded instruction by instruction
// and every operand resolved once (slots, constants, callees, jump targets as
// instruction indices), so the interpreter never looks at bytes or symbol
// entries again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/lsrun/module_view.h"
#include "sim/lsrun/value.h"

namespace quillet::lsrun {

// Result slot of a Function: the local load whose operand is the Function
// itself.
inline constexpr int32_t kResultSlot = -1;

// One instruction with resolved operands. Which fields mean what depends on
// the opcode (see PrepareProcedure):
//   loads        a = slot index (kResultSlot for a Function's result), type
//   constants    a = value, or index into Procedure::constants
//   jumps        a = target index; For/Next and ForAll/NextForAll: b = loop
//                state index; ForAll: c = the variable's local slot
//   On GoTo/GoSub a = index into Procedure::targetLists
//   calls        sym = entry offset of the procedure, declaration or class
struct Insn {
  uint8_t op = 0;
  SlotType type = SlotType::kVariant;
  uint16_t line = 0;
  int32_t a = 0;
  int32_t b = 0;
  int32_t c = 0;
  uint32_t sym = 0;
};

struct Procedure {
  ProcedureInfo info;
  std::vector<Insn> code;        // ends with the procedure's OpEndSub
  std::vector<int32_t> offsets;  // byte-code position of each instruction
  std::vector<Value> constants;
  std::vector<std::vector<int32_t>> targetLists;
  int32_t loopStates = 0;
  int32_t forAllStates = 0;

  // Index of the statement after the one holding instruction `i`: the next
  // line marker or the instruction after the next statement separator.
  int32_t NextStatement(int32_t i) const;
  // Index of the first instruction of the statement holding instruction `i`.
  int32_t StatementStart(int32_t i) const;
};

// Decodes the code of `info` up to its OpEndSub and resolves the operands.
// `globalSlots` bounds module-variable slots. Returns false with a message
// when the code does not decode, runs past the byte code, jumps into the
// middle of an instruction or names an entry that does not fit its use.
[[nodiscard]] bool PrepareProcedure(const ModuleView& view, const ProcedureInfo& info, size_t globalSlots,
                                    Procedure& out, std::string& error);

}  // namespace quillet::lsrun
