// The timer class and the timer declarations added to a module before its
// procedures are rewritten.
#pragma once

#include <cstdint>

#include "config/status.h"
#include "instrument/item_context.h"
#include "lsobject/ls_script_module.h"
#include "timing/profile_app.h"

namespace quillet {

inline constexpr Status32 kErrCouldNotCreateClass = 0x12707;         // "... Could not create class. Module:'%s'."
inline constexpr Status32 kErrCouldNotCreateDeclarations = 0x12708;  // "... Could not create declarations. ..."

inline constexpr const char* kTimerClassName = "CKVXTimerManager";
inline constexpr const char* kFunctionTimerName = "KVXFunctionTimer";
inline constexpr const char* kLineTimerName = "KVXLineTimer";
inline constexpr const char* kTimerVariableName = "KVXTimerMgr";
// Every timer argument is a 16-bit integer passed by value.
inline constexpr uint32_t kTimerParameterWord = 0x0801;

// Declares the two timer entry points (from library profile.ModuleName) and
// adds the class "CKVXTimerManager" with its members, constructor parameters
// and NEW and DELETE bodies; the handles go to the profile context. With
// flag 0x0020 or 0x0100 the destructor also signals the end of the run for
// the module's Initialize or Terminate sub (a Terminate sub is added when
// there is none).
//   kErrCouldNotCreateDeclarations: a declaration could not be made (no
//     message);
//   kErrCouldNotCreateClass: a body could not be inserted (message added with
//     the item name). The NEW body may then be in place already: the module
//     is to be discarded.
[[nodiscard]] Status32 BuildTimerClass(CLSScriptModule& module, const ItemContext& context, CLSProfileApp& profile);

}  // namespace quillet
