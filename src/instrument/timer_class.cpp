// Building the timer class and the timer declarations.
#include "instrument/timer_class.h"

#include <array>
#include <span>
#include <string_view>

#include "instrument/module_instrument.h"
#include "instrument/timer_class_code.h"
#include "lsobject/symbol_entries.h"

namespace quillet {
namespace {

constexpr std::array<const char*, kTimerMemberCount> kMemberNames = {"dwFnName_low", "dwFnName_high", "dwFnId",
                                                                     "dwNoteID_low", "dwNoteID_high"};
// The last parameter's name differs from the last member's.
constexpr std::array<std::string_view, kTimerMemberCount> kParameterNames = {"dwFnName_low", "dwFnName_high", "dwFnId",
                                                                             "dwNoteID_low", "dwNoteID_hi"};

bool Declare(CLSScriptModule& module, const char* name, const std::string& library, size_t words,
             int32_t& handle) {
  if (handle != kNoSymbolHandle) return true;
  const std::vector<uint32_t> parameterWords(words, kTimerParameterWord);
  const uint32_t found = module.FindOrAddDeclaration(name, name, library, parameterWords);
  // Handles are 16 bits; anything else is no usable declaration.
  if (found == 0 || found > 0xFFFF) return false;
  handle = static_cast<int32_t>(found);
  return true;
}

// The procedure whose end also ends the run, when the flags ask for one.
std::optional<uint16_t> EndOfRunProcedure(CLSScriptModule& module, int32_t flags) {
  if ((flags & instrument_flags::kEndRunAtTerminate) != 0) {
    uint32_t terminate = module.Header().U16(header::kTerminateSub);
    if (terminate == 0) terminate = module.FindOrAddSub("Terminate");
    return static_cast<uint16_t>(terminate);
  }
  if ((flags & instrument_flags::kEndRunAtInitialize) != 0) return module.Header().U16(header::kInitializeSub);
  return std::nullopt;
}

Status32 InsertBody(CLSScriptModule& module, uint32_t procedure, std::span<const uint8_t> body,
                    const ItemContext& context, CLSProfileApp& profile) {
  if (procedure == 0 || !module.InsertAtProcedureStart(procedure, body)) {
    AddInstrumentMessage(profile, kErrCouldNotCreateClass, context.ItemName);
    return kErrCouldNotCreateClass;
  }
  module.Symbols().SetField16(procedure, symbol::kSystemMarker, symbol::kSystemMarkerValue);
  return 0;
}

}  // namespace

Status32 BuildTimerClass(CLSScriptModule& module, const ItemContext& context, CLSProfileApp& profile) {
  if (!Declare(module, kFunctionTimerName, profile.ModuleName, 6, profile.FunctionTimerHandle) ||
      !Declare(module, kLineTimerName, profile.ModuleName, 7, profile.LineTimerHandle))
    return kErrCouldNotCreateDeclarations;

  const uint32_t timerClass = module.FindOrAddClass(kTimerClassName);
  profile.TimerClassHandle = timerClass == 0 ? kNoSymbolHandle : static_cast<int32_t>(timerClass);
  const SymbolView symbols = module.Symbols();
  const uint32_t constructor = timerClass == 0 ? 0 : symbols.Field16(timerClass, symbol::kConstructor);
  const uint32_t destructor = timerClass == 0 ? 0 : symbols.Field16(timerClass, symbol::kDestructor);

  TimerClassHandles handles;
  if (constructor != 0) {
    std::array<uint32_t, kTimerMemberCount> params{};
    module.AddConstructorParameters(constructor, kParameterNames, params);
    for (size_t i = 0; i < kTimerMemberCount; ++i) handles.params[i] = static_cast<uint16_t>(params[i]);
    for (size_t i = 0; i < kTimerMemberCount; ++i)
      handles.members[i] = static_cast<uint16_t>(module.AddMemberVariable(timerClass, kMemberNames[i]));
  }

  const auto functionTimer = static_cast<uint16_t>(profile.FunctionTimerHandle);
  const std::optional<uint16_t> endOfRun = EndOfRunProcedure(module, context.Flags);
  const Status32 r = InsertBody(module, constructor, EncodeNewBody(handles, functionTimer), context, profile);
  if (r != 0) return r;
  return InsertBody(module, destructor, EncodeDeleteBody(handles, functionTimer, endOfRun), context, profile);
}

}  // namespace quillet
