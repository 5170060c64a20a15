// GetFileVersion: the version record of the hook driver.
#include "hook/file_version.h"

#include <cstring>

#include "hook/hooks.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Copies `text` with its terminator; the rest of the 80-byte field is left alone.
template <size_t N>
void PutText(uint8_t* field, const char (&text)[N]) {
  static_assert(N <= kVersionTextField, "text must fit its field");
  std::memcpy(field, text, N);
}

}  // namespace

void FillVersionRecord(uint8_t* record) {
  if (record == nullptr) return;
  StoreU16(record + 0, kVersionMajor);
  StoreU16(record + 2, kVersionMinor);
  StoreU16(record + 4, kVersionRevision);
  StoreU16(record + 6, kVersionBuild);
  StoreU32(record + 8, 0);
  StoreU16(record + 12, 0);
  PutText(record + kVersionProductOffset, kProductName);
  PutText(record + kVersionEditionOffset, kEditionText);
  PutText(record + kVersionLegalOffset, kLegalNotice);
  record[kVersionTailOffset] = 0;
}

HookStatus QUILLET_HOOKAPI GetFileVersion(void* record) noexcept {
  FillVersionRecord(static_cast<uint8_t*>(record));
  return 0;
}

}  // namespace quillet
