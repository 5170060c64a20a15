// The "nnotes" export functions of the simulated host and their registration.
#include "sim/sim_exports.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

#include "platform/platform.h"
#include "sim/sim_host.h"

namespace quillet::sim {

namespace {

std::atomic<SimHost*> gTarget{nullptr};

// Exports are called by foreign code: nothing may escape them.
template <typename Body>
STATUS Guarded(Body body) {
  SimHost* host = gTarget.load(std::memory_order_acquire);
  if (host == nullptr) return kErrFunctionNotAvailable;
  try {
    return body(*host);
  } catch (...) {
    return kErrInvalidArgument;
  }
}

StatusWord QUILLET_LNPUBLIC SimNSFNoteExpand(uint32_t note) {
  return Guarded([&](SimHost& host) { return host.NoteExpand(NoteHandle{note}); });
}

StatusWord QUILLET_LNPUBLIC SimSECAttachToID(const char* idFile, const char* password, uint32_t* context) {
  return Guarded([&](SimHost& host) { return host.AttachToId(idFile, password, context); });
}

StatusWord QUILLET_LNPUBLIC SimSECReattachToRootID(uint32_t /*context*/) {
  return Guarded([&](SimHost& host) { return host.ReattachToRootId(); });
}

StatusWord QUILLET_LNPUBLIC SimSECKFMSwitchToIDFile(const char* idFile, const char* password, char* userName, uint16_t userNameSize,
                               uint32_t /*reserved*/, void* /*reserved2*/) {
  return Guarded([&](SimHost& host) {
    std::string user;
    const STATUS status = host.SwitchToIdFile("SECKFMSwitchToIDFile", idFile, password, user);
    if (status == kNoError && userName != nullptr && userNameSize > 0) {
      const size_t length = std::min<size_t>(user.size(), userNameSize - 1u);
      std::memcpy(userName, user.data(), length);
      userName[length] = '\0';
    }
    return status;
  });
}

StatusWord QUILLET_LNPUBLIC SimREGSwitchToID(uint32_t /*reserved*/, uint16_t* out1, uint16_t* out2, const char* idFile,
                        const char* password, uint32_t /*reserved2*/) {
  return Guarded([&](SimHost& host) {
    std::string user;
    const STATUS status = host.SwitchToIdFile("REGSwitchToID", idFile, password, user);
    if (out1 != nullptr) *out1 = 0;
    if (out2 != nullptr) *out2 = 0;
    return status;
  });
}

// The addresses as the module table carries them; checked against the
// seam's declared types so a signature change cannot slip through.
void* ExportAddress(std::string_view name) {
  if (name == "NSFNoteExpand") return reinterpret_cast<void*>(static_cast<NSFNoteExpandFn>(&SimNSFNoteExpand));
  if (name == "SECAttachToID") return reinterpret_cast<void*>(static_cast<SECAttachToIDFn>(&SimSECAttachToID));
  if (name == "SECReattachToRootID") {
    return reinterpret_cast<void*>(static_cast<SECReattachToRootIDFn>(&SimSECReattachToRootID));
  }
  if (name == "SECKFMSwitchToIDFile") {
    return reinterpret_cast<void*>(static_cast<SECKFMSwitchToIDFileFn>(&SimSECKFMSwitchToIDFile));
  }
  if (name == "REGSwitchToID") return reinterpret_cast<void*>(static_cast<REGSwitchToIDFn>(&SimREGSwitchToID));
  return nullptr;
}

}  // namespace

void PublishNotesExports(SimHost* host, const std::set<std::string>& removed) {
  gTarget.store(host, std::memory_order_release);
  std::map<std::string, void*> table;
  for (std::string_view name : kNotesExportNames) {
    if (!removed.contains(std::string(name))) table.emplace(name, ExportAddress(name));
  }
  platform::RegisterModule(kNotesModuleName, std::move(table));
}

void WithdrawNotesExports(SimHost* host) {
  SimHost* expected = host;
  if (gTarget.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel)) {
    platform::RegisterModule(kNotesModuleName, std::nullopt);
  }
}

}  // namespace quillet::sim
