// Decoding one procedure's byte code into a marked instruction list.
#include "lsobject/code_tables_decode.h"

#include <limits>
#include <unordered_set>

#include "bytecode/decoder.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_entries.h"

namespace quillet {
namespace {

// The code offsets of `procedure`'s labels, from one walk of its label chain:
// an offset is in the set exactly when FindLabel finds a label for it, but a
// procedure with many labels and jumps is not walked once per jump.
std::unordered_set<int32_t> LabelOffsetsOf(CLSScriptModule& module, uint32_t procedure) {
  std::unordered_set<int32_t> offsets;
  const SymbolView view = module.Symbols();
  const uint32_t at = view.Resolve(procedure);
  const uint16_t kind = view.U16(at);
  if (kind != symbol::kFunction && kind != symbol::kSub && kind != symbol::kProperty) return offsets;
  const CLabelOffsetTable& labels = module.LabelOffsets();
  const uint32_t first = view.U16(uint64_t{at} + symbol::kLabelScope + symbol::kScopeFirst);
  view.WalkSymbols(first, procedure, false, [&](const SymbolVisit& v) {
    offsets.insert(static_cast<int32_t>(labels.Resolve(view.Field16(v.handle, symbol::kLabelTarget))));
    return true;
  });
  return offsets;
}

}  // namespace

bool DecodeProcedureCode(std::span<const uint8_t> code, int32_t codeOffset, const LabelLookup& isLabel,
                         int32_t procedure, InstructionList& list) noexcept {
  list.clear();
  try {
    InstructionList decoded;
    DecodeCursor cursor{code, codeOffset, 0};
    for (;;) {
      std::unique_ptr<COpCode> instr = DecodeNext(cursor);
      if (instr->opcode() == op::kEndSub) break;
      decoded.push_back(std::move(instr));
    }
    MarkControlStructures(decoded, isLabel, procedure);
    list = std::move(decoded);
    return true;
  } catch (...) {
    // The decoder's and the target look-ups' exceptions, out-of-range
    // neighbours and allocation failures alike: the procedure is left alone.
    list.clear();
    return false;
  }
}

void MarkControlStructures(uint32_t procedure, CLSScriptModule& module, InstructionList& list) {
  const std::unordered_set<int32_t> labels = LabelOffsetsOf(module, procedure);
  MarkControlStructures(list, [&](int32_t offset) { return labels.count(offset) != 0; },
                        static_cast<int32_t>(procedure));
}

bool DecodeProcedure(CLSScriptModule& module, uint32_t procedure, InstructionList& list) noexcept {
  try {
    const std::unordered_set<int32_t> labels = LabelOffsetsOf(module, procedure);
    const uint32_t codeOffset = module.Symbols().CodeOffset(procedure);
    if (codeOffset > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
      list.clear();
      return false;
    }
    return DecodeProcedureCode(module.ByteCode().Data(), static_cast<int32_t>(codeOffset),
                               [&](int32_t offset) { return labels.count(offset) != 0; },
                               static_cast<int32_t>(procedure), list);
  } catch (...) {
    list.clear();
    return false;
  }
}

}  // namespace quillet
