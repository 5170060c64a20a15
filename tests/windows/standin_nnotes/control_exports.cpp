// The stand-in's control functions (standin_control.h).
#include <type_traits>

// Before the stand-in's names: Windows' own DWORD and BOOL come first.
#include "platform/win32/windows_seam.h"

#include "sim/client/design_notes.h"
#include "sim/client/note_scripts.h"
#include "sim/lsc/compiler.h"
#include "hook/hook_vector.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/runner.h"
#include "standin_control.h"
#include "standin_host.h"

namespace {

inline constexpr const char* kTimerLibrary = "nquillet";
inline constexpr size_t kFunctionTimerArgs = 6;
inline constexpr size_t kLineTimerArgs = 7;

using FunctionTimerFn = void(QUILLET_CDECL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t);
using LineTimerFn = void(QUILLET_CDECL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t, int32_t);

uint32_t Word(const lsrun::Value& v) { return static_cast<uint16_t>(v.n()); }
int32_t Signed(const lsrun::Value& v) { return static_cast<int16_t>(v.n()); }

// The rewritten declarations reach the timer exports of the nquillet.dll
// loaded in this process, as the Notes runtime's external calls do.
bool AddLoadedTimers(RunOptions& options) {
  HMODULE library = ::GetModuleHandleW(L"nquillet.dll");
  if (library == nullptr) return false;
  auto functionTimer = reinterpret_cast<FunctionTimerFn>(reinterpret_cast<void*>(::GetProcAddress(library, "KVXFunctionTimer")));
  auto lineTimer = reinterpret_cast<LineTimerFn>(reinterpret_cast<void*>(::GetProcAddress(library, "KVXLineTimer")));
  if (functionTimer == nullptr || lineTimer == nullptr) return false;
  options.timerEntries = false;
  options.natives.Register(kTimerLibrary, "KVXFunctionTimer",
                           [functionTimer](std::span<const lsrun::Value> a, lsrun::Value&) {
                             if (a.size() != kFunctionTimerArgs) return lsrun::err::kErrorInLoadingDll;
                             functionTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]));
                             return 0;
                           });
  options.natives.Register(kTimerLibrary, "KVXLineTimer", [lineTimer](std::span<const lsrun::Value> a, lsrun::Value&) {
    if (a.size() != kLineTimerArgs) return lsrun::err::kErrorInLoadingDll;
    lineTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]), Signed(a[6]));
    return 0;
  });
  return true;
}

}  // namespace

STANDIN_EXPORT WORD StandInStart() {
  try {
    return standin::Start() ? 0 : StatusWord{kErrInvalidArgument};
  } catch (...) {
    return kErrInvalidArgument;
  }
}

STANDIN_EXPORT void StandInStop() {
  try {
    standin::Stop();
  } catch (...) {
  }
}

STANDIN_EXPORT WORD StandInStoreForm(const char* dbPath, const char* title, const char* source, NOTEID* id) {
  return standin::GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (dbPath == nullptr || title == nullptr || source == nullptr || id == nullptr) return kErrInvalidArgument;
    if (!host.DatabaseExists(dbPath)) {
      if (STATUS status = host.CreateDatabase(dbPath); status != kNoError) return status;
    }
    sim::Image image;
    std::vector<CompileError> errors;
    if (!CompileLotusScript(source, image, errors)) return kErrInvalidArgument;
    return sim::CreateDesignNote(host, dbPath, {sim::DesignKind::kForm, title, {image}}, *id);
  });
}

STANDIN_EXPORT WORD StandInRunNote(DHANDLE note, char* output, WORD size) {
  return standin::GuardedStatus([&](sim::SimHost&) -> StatusWord {
    std::vector<sim::NoteScript> scripts;
    if (const Status32 status = sim::ReadNoteScripts(NoteHandle{note}, scripts); status != 0 || scripts.empty()) {
      standin::CopyOut("no script read, status " + std::to_string(status), output, size);
      return kErrItemNotFound;
    }
    RunOptions options;
    if (!AddLoadedTimers(options)) {
      standin::CopyOut("nquillet.dll or its timer exports not found", output, size);
      return kErrFunctionNotAvailable;
    }
    std::string printed;
    bool ok = true;
    for (const sim::NoteScript& script : scripts) {
      const RunResult ran = RunModule(script.image, options);
      printed += ran.ok ? ran.output : ran.output + script.itemName + ": " + ran.error + "\n";
      ok = ok && ran.ok;
    }
    standin::CopyOut(printed, output, size);
    return ok ? StatusWord{kNoError} : StatusWord{kErrInvalidArgument};
  });
}

static_assert(std::is_same_v<decltype(&::StandInStart), standin::StandInStartFn>);
static_assert(std::is_same_v<decltype(&::StandInStop), standin::StandInStopFn>);
static_assert(std::is_same_v<decltype(&::StandInStoreForm), standin::StandInStoreFormFn>);
static_assert(std::is_same_v<decltype(&::StandInRunNote), standin::StandInRunNoteFn>);
