// Procedure descriptions, the module key, recognising rewritten modules and
// the warnings of the rewrite.
#include "instrument/module_instrument.h"

#include <cstring>
#include <utility>

#include "config/host_text.h"
#include "config/message_catalog.h"
#include "config/notes_api.h"
#include "instrument/timer_class.h"
#include "lsobject/symbol_entries.h"

namespace quillet {
namespace {

constexpr const char* kBindEvents = "BINDEVENTS";

std::string NameText(CLSScriptModule& module, uint32_t nameHandle) {
  return module.StringTable().GetText(static_cast<uint16_t>(nameHandle));
}

}  // namespace

uint32_t ModuleKey(CLSScriptModule& module) {
  const auto data = module.SymbolTable().Data();
  return data.size() < CSymbolTable::kChecksumBytes ? 0 : LoadU32(data.data());
}

bool IsInstrumentedModule(CLSScriptModule& module) {
  uint32_t handle = 0;
  return module.Symbols().FindModuleSymbol(module.Header(), module.StringTable(), symbol::kClass, kTimerClassName,
                                           handle);
}

bool IsProfiledProcedure(CLSScriptModule& module, const ProcedureDescriptor& procedure, const CLSProfileApp& profile) {
  if (profile.TimerClassHandle != kNoSymbolHandle && procedure.owner == static_cast<uint32_t>(profile.TimerClassHandle))
    return false;
  // A listed procedure has code even when it starts the byte code at offset
  // 0; only the no-code flag says otherwise.
  if ((procedure.flags & symbol::kNoCode) != 0) return false;
  if (profile.FilterBindEvents != 0) {
    const std::string name =
        module.Symbols().ProcedureName(module.StringTable(), procedure.symbol, procedure.owner, procedure.flags);
    if (HostCompare(name, kBindEvents, kCompareNoCase) == 0) return false;
  }
  return true;
}

void RegisterProcedure(CLSScriptModule& module, const ProcedureDescriptor& procedure, const ItemContext& context,
                       CLSProfileApp& profile) {
  ProcedureInfo info;
  if (procedure.owner != 0 &&
      HostCompare(NameText(module, module.Symbols().NameHandle(procedure.owner)), kTimerClassName, kCompareExact) == 0)
    return;
  // As the listing names it, so that a Property's two accessors stay apart
  // ("Box::GET_Value", "Box::SET_Value").
  info.FullName =
      module.Symbols().ProcedureName(module.StringTable(), procedure.symbol, procedure.owner, procedure.flags);
  info.Key = ModuleKey(module);
  info.ProcedureId = procedure.symbol;
  info.DatabasePath = context.DatabasePath;
  std::memcpy(info.DatabaseId, context.DatabaseId, sizeof info.DatabaseId);
  info.NoteId = context.NoteId;
  info.HotspotCount = context.HotspotCount;
  std::memcpy(info.SequenceTime, context.SequenceTime, sizeof info.SequenceTime);
  info.SymbolFlags = procedure.flags;
  info.ItemName = context.ItemName;
  info.Title = context.Title;
  info.ModuleDisplayName = ModuleDisplayName(context);
  const uint32_t key = info.Key;
  profile.Data.AddProcedure(key, std::move(info));
}

void RegisterModule(CLSScriptModule& module, const ItemContext& context, CLSProfileApp& profile) {
  std::vector<ProcedureDescriptor> procedures;
  module.ListProcedures(procedures);
  for (const ProcedureDescriptor& p : procedures) RegisterProcedure(module, p, context, profile);
}

void AddInstrumentMessage(CLSProfileApp& profile, Status32 code, std::string_view argument) {
  std::string text = MessageText(code);
  // The argument goes in verbatim: it is never read as a format.
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  profile.Messages.push_back(std::move(text));
}

}  // namespace quillet
