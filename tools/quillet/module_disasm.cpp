// Decodes every procedure of a module and describes each instruction with its
// operand fields, jump targets and control-structure marks.
#include "tools/quillet/module_disasm.h"

#include <exception>
#include <string>
#include <vector>

#include "bytecode/opcodes.h"
#include "lsobject/code_tables_decode.h"
#include "lsobject/symbol_entries.h"
#include "util/bytes.h"

namespace quillet::tool {
namespace {

using Json = nlohmann::ordered_json;

// Operand fields of a layout, in order: b u8, w u16, s s16, d u32. Bytes past
// the fields (optional trailing bytes) are shown one by one.
const char* FieldPattern(OperandLayout layout) {
  switch (layout) {
    case OperandLayout::kNone: return "";
    case OperandLayout::kU16: return "w";
    case OperandLayout::kS16: return "s";
    case OperandLayout::kRel16: return "s";
    case OperandLayout::kLongJump: return "w";
    case OperandLayout::kU8: return "b";
    case OperandLayout::kU8U16: return "bw";
    case OperandLayout::kU8U8: return "bb";
    case OperandLayout::kS16U8: return "sb";
    case OperandLayout::kU16U8: return "wb";
    case OperandLayout::kU16U8Skip1: return "wbb";
    case OperandLayout::kU16Skip2: return "ww";
    case OperandLayout::kU16Skip4: return "wd";
    case OperandLayout::kU16Skip4Rel16: return "wds";
    case OperandLayout::kU16Rel16: return "ws";
    case OperandLayout::kSkip2Rel16: return "ws";
    case OperandLayout::kU16U16: return "ww";
    case OperandLayout::kU16Skip2U16: return "www";
    case OperandLayout::kU8Dim8: return "bb";
    case OperandLayout::kU8Dim16: return "bw";
    case OperandLayout::kSkip1: return "b";
    case OperandLayout::kSkip2: return "w";
    case OperandLayout::kSkip4: return "d";
    case OperandLayout::kCountTargets: return "b";  // then count s16 targets
    case OperandLayout::kFileBuiltin: return "b";
    case OperandLayout::kU16OptPop: return "w";
    case OperandLayout::kOptPop: return "";
  }
  return "";
}

Json Operands(OperandLayout layout, std::span<const uint8_t> bytes) {
  Json out = Json::array();
  ByteReader r(bytes);
  for (const char* p = FieldPattern(layout); *p != '\0'; ++p) {
    uint8_t b = 0;
    uint16_t w = 0;
    uint32_t d = 0;
    if (*p == 'b' && r.ReadU8(b)) out.push_back(b);
    else if (*p == 'w' && r.ReadU16(w)) out.push_back(w);
    else if (*p == 's' && r.ReadU16(w)) out.push_back(static_cast<int16_t>(w));
    else if (*p == 'd' && r.ReadU32(d)) out.push_back(d);
  }
  const bool targets = layout == OperandLayout::kCountTargets;
  uint16_t w = 0;
  uint8_t b = 0;
  while (!r.AtEnd()) {
    if (targets && r.ReadU16(w)) out.push_back(static_cast<int16_t>(w));
    else if (r.ReadU8(b)) out.push_back(b);
  }
  return out;
}

// Jump targets as absolute byte-code offsets, from the relative fields the
// layouts carry (a single rel16 always ends its instruction).
void AddTargets(Json& out, const COpCode& op, OperandLayout layout, std::span<const uint8_t> whole) {
  if (layout == OperandLayout::kCountTargets) {
    Json targets = Json::array();
    for (size_t slot = 2; slot + 2 <= whole.size(); slot += 2)
      targets.push_back(op.offset + static_cast<int32_t>(slot) + 2 + static_cast<int16_t>(LoadU16(whole.data() + slot)));
    out["targets"] = targets;
    return;
  }
  if (layout == OperandLayout::kLongJump || BranchSizeOf(layout) <= 0 || whole.size() < 3) return;
  const auto rel = static_cast<int16_t>(LoadU16(whole.data() + whole.size() - 2));
  out["target"] = op.offset + static_cast<int32_t>(whole.size()) + rel;
}

void AddMarks(Json& out, const COpCode& op) {
  if (const auto* jz = dynamic_cast<const OpJZ*>(&op)) out["mark"] = jz->mark;
  if (const auto* jnz = dynamic_cast<const OpJNZ*>(&op)) out["mark"] = jnz->mark;
  if (const auto* sep = dynamic_cast<const OpStmtSep*>(&op)) out["mark"] = sep->mark;
  if (const auto* pop = dynamic_cast<const OpPop*>(&op)) out["mark"] = pop->mark;
  if (const auto* jmp = dynamic_cast<const OpJmp*>(&op)) {
    out["kind"] = jmp->kind();
    if (!jmp->caseTargets.empty()) out["case_targets"] = jmp->caseTargets;
  }
  if (const auto* line = dynamic_cast<const OpLine*>(&op)) {
    out["line"] = line->line;
    if (line->isCaseLine != 0) out["case_line"] = true;
    if (!line->annotations.empty()) {
      Json notes = Json::array();
      for (const auto& [at, text] : line->annotations) notes.push_back({{"offset", at}, {"text", text}});
      out["annotations"] = notes;
    }
  }
}

// Names behind handle operands: procedures, classes and methods for the
// loads of callees, the text of string and number literals.
void AddNames(Json& out, CLSScriptModule& m, int opcode, const Json& operands) {
  if (operands.empty() || !operands[0].is_number_unsigned()) return;
  const auto handle = operands[0].get<uint32_t>();
  if (opcode >= 41 && opcode <= 48) {
    SymbolView view = m.Symbols();
    const uint16_t name = view.NameHandle(handle);
    if (name == 0 || name == strings::kEmptyHandle) return;
    // A Property's accessors share a name: show the side a call takes.
    out["symbol"] = view.Kind(handle) == symbol::kProperty
                        ? view.ProcedureName(m.StringTable(), handle, 0, view.Flags(handle))
                        : m.StringTable().GetText(name);
  } else if (opcode == 125 || opcode == 126) {
    out["text"] = m.StringTable().GetText(static_cast<uint16_t>(handle));
  }
}

Json Instructions(CLSScriptModule& m, const InstructionList& list) {
  Json out = Json::array();
  const std::span<const uint8_t> code = m.ByteCode().Data();
  for (const auto& op : list) {
    Json entry;
    entry["offset"] = op->offset;
    entry["opcode"] = op->opcode();
    entry["name"] = op->name();
    // The instruction's bytes, found by reading it again at its offset.
    ByteReader reader(code);
    std::unique_ptr<COpCode> again;
    std::span<const uint8_t> whole;
    if (op->offset >= 0 && reader.Seek(static_cast<size_t>(op->offset)) &&
        ReadInstruction(reader, again) == ReadResult::kOk)
      whole = code.subspan(static_cast<size_t>(op->offset), reader.pos() - static_cast<size_t>(op->offset));
    const OperandLayout layout = LookupOpcode(op->opcode()).layout;
    entry["operands"] = whole.empty() ? Json::array() : Operands(layout, whole.subspan(1));
    AddTargets(entry, *op, layout, whole);
    AddMarks(entry, *op);
    AddNames(entry, m, op->opcode(), entry["operands"]);
    out.push_back(std::move(entry));
  }
  return out;
}

}  // namespace

Json DisassembleProcedures(CLSScriptModule& m) {
  Json out = Json::array();
  std::vector<ProcedureDescriptor> procedures;
  m.ListProcedures(procedures);
  SymbolView view = m.Symbols();
  for (const ProcedureDescriptor& p : procedures) {
    Json entry;
    entry["name"] = view.ProcedureName(m.StringTable(), p.symbol, p.owner, p.flags);
    entry["handle"] = p.symbol;
    entry["owner"] = p.owner;
    entry["flags"] = p.flags;
    entry["code_offset"] = p.codeOffset;
    InstructionList list;
    const bool decoded = DecodeProcedure(m, p.symbol, list);
    entry["decoded"] = decoded;
    entry["instructions"] = decoded ? Instructions(m, list) : Json::array();
    out.push_back(std::move(entry));
  }
  return out;
}

}  // namespace quillet::tool
