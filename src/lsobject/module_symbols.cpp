// The module's symbol operations: find-or-add of classes, Subs and
// declarations, variables, the procedure listing, code insertion and the
// labels that move with it.
#include <optional>
#include <unordered_set>

#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_add_common.h"
#include "lsobject/symbol_entries.h"

namespace quillet {

using namespace symbol;

uint32_t CLSScriptModule::FindOrAddClass(std::string_view name) {
  uint32_t handle = 0;
  if (Symbols().FindModuleSymbol(header_, stringTable_, kClass, name, handle)) return handle;
  return Symbols().AddClass(header_, stringTable_, byteCode_, name);
}

uint32_t CLSScriptModule::FindOrAddSub(std::string_view name) {
  uint32_t handle = 0;
  if (Symbols().FindModuleSymbol(header_, stringTable_, kSub, name, handle)) return handle;
  return Symbols().AddSub(header_, stringTable_, byteCode_, name);
}

uint32_t CLSScriptModule::FindOrAddDeclaration(std::string_view name, std::string_view alias,
                                               std::string_view library, std::span<const uint32_t> parameterWords) {
  uint32_t handle = 0;
  if (Symbols().FindModuleSymbol(header_, stringTable_, kDeclaration, name, handle)) return handle;
  return Symbols().AddExternalDeclaration(header_, stringTable_, name, alias, library, parameterWords);
}

uint32_t CLSScriptModule::AddLocalVariable(uint32_t procedure, std::string_view name, uint32_t classHandle) {
  const SymbolView symbols = Symbols();
  if (!IsProcedureKind(symbols.Kind(procedure))) return 0;
  constexpr uint16_t kLocalFlags = 2;
  return symbols.AddVariable(header_, stringTable_, procedure, kObjectType, static_cast<uint16_t>(classHandle),
                             kLocalFlags, name);
}

uint32_t CLSScriptModule::AddConstructorParameter(uint32_t procedure, std::string_view name) {
  const SymbolView symbols = Symbols();
  // Parameters live in the procedure's own scope, so that is where an
  // earlier call's parameter is found.
  uint32_t handle = 0;
  const uint32_t locals = symbols.Field16(procedure, kLocalScope + kScopeFirst);
  if (IsProcedureKind(symbols.Kind(procedure)) && symbols.FindVariable(stringTable_, locals, name, handle))
    return handle;
  return symbols.AddConstructorParameter(header_, stringTable_, procedure, name);
}

void CLSScriptModule::AddConstructorParameters(uint32_t procedure, std::span<const std::string_view> names,
                                               std::span<uint32_t> handles) {
  const SymbolView symbols = Symbols();
  // What a check that found NEW read. Appends leave a string where it
  // starts, so only an addition that rewrote one of these (a damaged
  // module's links can point anywhere) makes the next name check again; a
  // check that did not find NEW is made again each time.
  struct Checked {
    uint16_t kind, ownerKind;
    uint32_t owner, name;
    bool operator==(const Checked&) const = default;
  };
  auto read = [&] {
    const uint32_t owner = symbols.Owner(procedure);
    return Checked{symbols.Kind(procedure), symbols.Kind(owner), owner,
                   stringTable_.Resolve(symbols.NameHandle(procedure))};
  };
  std::optional<Checked> checked;
  uint32_t owner = 0;
  for (size_t i = 0; i < names.size() && i < handles.size(); ++i) {
    uint32_t& handle = handles[i];
    const uint32_t locals = symbols.Field16(procedure, kLocalScope + kScopeFirst);
    if (IsProcedureKind(symbols.Kind(procedure)) && symbols.FindVariable(stringTable_, locals, names[i], handle))
      continue;
    const Checked now = read();
    if (owner == 0 || checked != now) {
      owner = symbols.ConstructorClass(stringTable_, procedure);
      checked = now;
    }
    handle = owner == 0 ? 0 : symbols.AddParameterOf(header_, stringTable_, procedure, owner, names[i]);
  }
}

uint32_t CLSScriptModule::AddMemberVariable(uint32_t classHandle, std::string_view name) {
  const SymbolView symbols = Symbols();
  if (symbols.Kind(classHandle) != kClass) return 0;
  constexpr uint16_t kMemberFlags = 3;
  std::string member = "m_";
  member += name;
  return symbols.AddVariable(header_, stringTable_, classHandle, kVariantType, 0, kMemberFlags, member);
}

int32_t CLSScriptModule::ListProcedures(std::vector<ProcedureDescriptor>& list, const ProcedureFilter& filter) {
  return Symbols().ListProcedures(header_, stringTable_, itemInfo_, list, filter);
}

bool CLSScriptModule::InsertAtProcedureStart(uint32_t procedure, const InstructionList& instructions) {
  return InsertAtProcedureStart(procedure, EncodeInstructions(instructions));
}

bool CLSScriptModule::InsertAtProcedureStart(uint32_t procedure, std::span<const uint8_t> encoded) {
  const SymbolView symbols = Symbols();
  if (!IsProcedureKind(symbols.Kind(procedure)) || (symbols.Flags(procedure) & kNoCode) != 0) return false;
  const uint32_t start = symbols.CodeOffset(procedure);
  if (start > static_cast<uint32_t>(byteCode_.Length())) return false;
  const auto length = static_cast<uint32_t>(encoded.size());
  // The labels move first: the only step that can refuse.
  if (length > 0 && !RelocateLabels([&](uint32_t p) { return p >= start ? p + length : p; })) return false;
  const int32_t inserted = byteCode_.InsertBytes(static_cast<int32_t>(start), encoded);
  if (inserted < 0) return false;
  if (inserted > 0) symbols.RelocateProcedures(header_, start, inserted);
  return true;
}

bool CLSScriptModule::RelocateProcedures(uint32_t after, int32_t delta) {
  Symbols().RelocateProcedures(header_, after, delta);
  return true;
}

bool CLSScriptModule::RelocateLabels(const std::function<uint32_t(uint32_t)>& moved) {
  const SymbolView symbols = Symbols();
  struct Move {
    uint32_t field;  // data offset of the label entry's position word
    uint16_t value;  // that word: a label-offset index, or the position itself
    bool indexed;
    uint32_t to;
  };
  std::vector<Move> moves;
  std::unordered_set<uint32_t> fields;
  bool widen = false;
  // Every label entry of every procedure with code, each once.
  for (uint32_t procedure : symbols.ProcedureEntries(header_)) {
    if (!IsProcedureKind(symbols.U16(procedure)) || (symbols.U16(uint64_t{procedure} + kFlags) & kNoCode) != 0)
      continue;
    const uint32_t first = symbols.U16(uint64_t{procedure} + kLabelScope + kScopeFirst);
    symbols.WalkSymbols(first, procedure, false, [&](const SymbolVisit& v) {
      const uint32_t field = symbols.Resolve(v.handle) + static_cast<uint32_t>(kLabelTarget);
      if (!symbols.Holds(field, 2) || !fields.insert(field).second) return true;
      const uint16_t value = symbols.U16(field);
      const bool indexed = labelOffsets_.Contains(value);
      const uint32_t to = moved(labelOffsets_.Resolve(value));
      // A position kept in the entry must stay a 16-bit value that no index
      // of the table could be mistaken for.
      if (!indexed && (to >= 0xFFFF || to < static_cast<uint32_t>(labelOffsets_.EntryCount()))) widen = true;
      moves.push_back({field, value, indexed, to});
      return true;
    });
  }
  if (moves.empty()) return true;
  size_t added = 0;
  if (widen) {
    for (const Move& m : moves) added += m.indexed ? 0 : 1;
    // Indices address the table as one array: it must stay in its first
    // segment (and so below 16-bit indices).
    const size_t entries = static_cast<size_t>(labelOffsets_.EntryCount()) + added;
    if (4 * entries >= static_cast<size_t>(multi::kSegmentLimit)) return false;
  }
  std::vector<uint8_t> table(labelOffsets_.Data().begin(), labelOffsets_.Data().end());
  std::unordered_set<uint16_t> indices;
  bool tableChanged = widen;
  for (const Move& m : moves) {
    if (m.indexed) {
      if (indices.insert(m.value).second) StoreU32(table.data() + 4 * size_t{m.value}, m.to);
      tableChanged = true;
    } else if (widen) {
      const size_t index = table.size() / 4;
      table.resize(table.size() + 4);
      StoreU32(table.data() + 4 * index, m.to);
      symbols.SetU16(m.field, static_cast<uint16_t>(index));
    } else {
      symbols.SetU16(m.field, static_cast<uint16_t>(m.to));
    }
  }
  return !tableChanged || labelOffsets_.SetData(std::move(table));
}

void CLSScriptModule::LinkProcedureOwners() { Symbols().LinkProcedureOwners(header_); }

}  // namespace quillet
