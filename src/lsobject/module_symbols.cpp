// The module's symbol operations: find-or-add of classes, Subs and
// declarations, variables, the procedure listing and code insertion.
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
  const SymbolView symbols = Symbols();
  if (!IsProcedureKind(symbols.Kind(procedure)) || (symbols.Flags(procedure) & kNoCode) != 0) return false;
  const uint32_t start = symbols.CodeOffset(procedure);
  if (start > static_cast<uint32_t>(byteCode_.Length())) return false;
  const int32_t inserted = byteCode_.InsertCode(static_cast<int32_t>(start), instructions);
  if (inserted < 0) return false;
  if (inserted > 0) symbols.RelocateProcedures(header_, start, inserted);
  return true;
}

bool CLSScriptModule::RelocateProcedures(uint32_t after, int32_t delta) {
  Symbols().RelocateProcedures(header_, after, delta);
  return true;
}

void CLSScriptModule::LinkProcedureOwners() { Symbols().LinkProcedureOwners(header_); }

}  // namespace quillet
