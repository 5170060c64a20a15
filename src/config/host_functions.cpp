// Host functions found by name at run time, and the services that call them:
// note expansion, ID switching and re-signing.
#include <array>
#include <mutex>

#include "config/notes_services.h"
#include "platform/platform.h"

namespace quillet {
namespace {

enum HostFunction { kNSFNoteExpand, kSECAttachToID, kSECReattachToRootID, kSECKFMSwitchToIDFile, kREGSwitchToID };

constexpr std::array<std::string_view, 5> kHostFunctionNames = {
    "NSFNoteExpand", "SECAttachToID", "SECReattachToRootID", "SECKFMSwitchToIDFile", "REGSwitchToID"};

// Documents, help-about, forms, help-using and shared fields are expanded
// before they are signed.
constexpr uint16_t kExpandBeforeSigning = 0x0507;

struct KeptFunctions {
  std::mutex mutex;
  std::array<bool, 5> resolved{};
  std::array<void*, 5> address{};
};

KeptFunctions& Kept() {
  static KeptFunctions kept;
  return kept;
}

void* LookUpExport(std::string_view name) {
  platform::ModuleHandle module = platform::GetModuleHandle(u"nnotes");
  return module == 0 ? nullptr : platform::GetProcAddress(module, name);
}

void* KeptFunction(HostFunction which) {
  KeptFunctions& kept = Kept();
  std::lock_guard lock(kept.mutex);
  if (!kept.resolved[which]) {
    kept.address[which] = LookUpExport(kHostFunctionNames[which]);
    kept.resolved[which] = true;
  }
  return kept.address[which];
}

}  // namespace

void* ResolveHostFunction(std::string_view name) {
  for (size_t i = 0; i < kHostFunctionNames.size(); ++i) {
    if (name == kHostFunctionNames[i]) return KeptFunction(static_cast<HostFunction>(i));
  }
  return LookUpExport(name);
}

void ForgetHostFunctions() {
  KeptFunctions& kept = Kept();
  std::lock_guard lock(kept.mutex);
  kept.resolved.fill(false);
  kept.address.fill(nullptr);
}

Status32 ExpandNote(NoteHandle note) {
  auto expand = reinterpret_cast<NSFNoteExpandFn>(KeptFunction(kNSFNoteExpand));
  if (expand == nullptr) return kErrEntryNotFound;
  return expand(note.value);
}

STATUS SwitchToIdFile(std::string_view idPath, std::string_view password) {
  const std::string path(idPath);
  const std::string secret(password);
  if (auto kfmSwitch = reinterpret_cast<SECKFMSwitchToIDFileFn>(KeptFunction(kSECKFMSwitchToIDFile))) {
    char userName[256] = {};  // handed over, never read back; its size argument is 0
    return kfmSwitch(path.c_str(), secret.c_str(), userName, 0, 0, nullptr);
  }
  if (auto regSwitch = reinterpret_cast<REGSwitchToIDFn>(KeptFunction(kREGSwitchToID))) {
    uint16_t unused1 = 0;
    uint16_t unused2 = 0;
    return regSwitch(0, &unused1, &unused2, path.c_str(), secret.c_str(), 0);
  }
  return kErrFunctionNotAvailable;
}

STATUS AttachToId() {
  auto attach = reinterpret_cast<SECAttachToIDFn>(KeptFunction(kSECAttachToID));
  if (attach == nullptr) return kErrFunctionNotAvailable;
  uint32_t context = 0;
  return attach(nullptr, nullptr, &context);
}

STATUS ReattachToRootId() {
  auto reattach = reinterpret_cast<SECReattachToRootIDFn>(KeptFunction(kSECReattachToRootID));
  if (reattach == nullptr) return kErrFunctionNotAvailable;
  return reattach(0);
}

Status32 ResignNote(NoteHandle note) {
  NotesApi& notes = Notes();
  bool sealed = false;
  if (notes.NoteIsSigned(note, sealed)) {
    if (STATUS status = notes.NoteRemoveSignature(note); status != kNoError) return status;
  }
  if ((notes.NoteClass(note) & kExpandBeforeSigning) == 0) return notes.NoteSign(note);
  if (Status32 status = ExpandNote(note); status != kNoError) return status;
  STATUS signing = notes.NoteSign(note);
  (void)notes.NoteContract(note);  // the signing status is the result
  return signing;
}

}  // namespace quillet
