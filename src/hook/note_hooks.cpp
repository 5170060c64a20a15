// The server's note hook. NOT YET BUILT: the agent selection arrives with the
// configuration and log databases; until then the hook lets the host proceed.
#include "hook/hooks.h"

namespace quillet {

HookStatus QUILLET_HOOKAPI HookNoteOpen_Server(HookVector*, const char*, void*, uint32_t, NoteId, uint32_t,
                                               uint16_t) noexcept {
  return kNoError;  // not yet built
}

}  // namespace quillet
