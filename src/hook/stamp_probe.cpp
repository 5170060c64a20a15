// HookDbStampNotes: answers the presence probe, lets every other stamp through.
#include "hook/stamp_probe.h"

#include "config/status.h"
#include "hook/hooks.h"
#include "util/bytes.h"

namespace quillet {

HookStatus QUILLET_HOOKAPI HookDbStampNotes(HookVector*, const char*, void*, uint32_t, uint32_t,
                                            const char* itemName, uint16_t itemNameLength, void* data,
                                            uint16_t length) noexcept {
  if (itemName == nullptr || std::string_view(itemName, itemNameLength) != kProbeItemName) return kNoError;
  // A probe without a whole data block still gets its status: the caller
  // learns the hook is present, and nothing outside the block is touched.
  if (data != nullptr && length >= kProbeBlockSize) {
    auto* block = static_cast<uint8_t*>(data);
    const uint32_t question = LoadU32(block + kProbeQuestionOffset);
    StoreU32(block + kProbeAnswerOffset, question != 0 ? kProbeAnswer : 0);
  }
  return kStampNotesHandled;
}

}  // namespace quillet
