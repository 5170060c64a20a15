// Decoding one procedure's byte code into a marked instruction list.
#include "lsobject/code_tables_decode.h"

#include "instrument/decoder.h"
#include "lsobject/ls_script_module.h"

namespace quillet {

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

bool DecodeProcedure(CLSScriptModule& module, int32_t codeOffset, const LabelLookup& isLabel, int32_t procedure,
                     InstructionList& list) noexcept {
  return DecodeProcedureCode(module.ByteCode().Data(), codeOffset, isLabel, procedure, list);
}

}  // namespace quillet
