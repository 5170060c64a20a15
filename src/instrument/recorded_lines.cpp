// The line base of a procedure, shared by the rewrite and by readers of the
// lines it records.
#include "instrument/recorded_lines.h"

#include <vector>

#include "bytecode/opcode_misc.h"
#include "lsobject/symbol_entries.h"

namespace quillet {

LineBase ProcedureLineBase(CLSScriptModule& module, const ProcedureDescriptor& p) {
  if (p.owner == 0) return LineBase::From(module.LineNumbers().LookupLine(static_cast<uint16_t>(p.name)), false);
  return LineBase::From(module.LineNumbers().LookupLine(0), true);
}

bool RecordedLineOffset(CLSScriptModule& module, uint32_t procedure, int32_t& offset) noexcept {
  try {
    std::vector<ProcedureDescriptor> procedures;
    module.ListProcedures(procedures);
    for (const ProcedureDescriptor& p : procedures) {
      // A procedure has code unless flagged so, even at code offset 0.
      if (p.symbol != procedure || (p.flags & symbol::kNoCode) != 0) continue;
      // Line argument = line - base + 1.
      LineBase base = ProcedureLineBase(module, p);
      if (!base.open) {
        offset = base.base - 1;
        return true;
      }
      // An open base is the first timed line minus 2, so that line is 3.
      const std::span<const uint8_t> code = module.ByteCode().Data();
      if (p.codeOffset >= code.size()) return false;
      const SymbolView symbols = module.Symbols();
      const CLabelOffsetTable& labels = module.LabelOffsets();
      const LabelLookup isLabel = [&](int32_t at) {
        return at >= 0 && symbols.FindLabel(labels, p.symbol, p.codeOffset + static_cast<uint32_t>(at)) != 0;
      };
      ProcedureListing listing;
      if (!DecodeForLines(code, static_cast<int32_t>(p.codeOffset), {}, isLabel, static_cast<int32_t>(p.symbol),
                          listing))
        return false;
      for (size_t i = 0; i < listing.size(); ++i) {
        if (!ShouldTimeLine(listing, i)) continue;
        offset = listing.LineAt(i) - 3;
        return true;
      }
      return false;
    }
    return false;
  } catch (...) {
    return false;  // a damaged module: no offset
  }
}

}  // namespace quillet
