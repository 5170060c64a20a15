// The note-level entry of the instrumentation: every compiled-LotusScript item
// of an open design note rewritten in memory, whole modules through their
// script items and pieces of object code through the rich-text rewrite.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "config/notes_api.h"
#include "config/status.h"
#include "design/rewrite_contract.h"
#include "instrument/item_context.h"
#include "timing/profile_app.h"

namespace quillet {

class CLSScriptModule;

// Refusals of an item, returned without a warning.
inline constexpr Status32 kErrProfilerNotEnabled = 0x12700;  // the context is not collecting
inline constexpr Status32 kErrDatabaseNotWatched = 0x12701;  // the note's database is not the watched one
// A rewritten rich-text code blob would not fit its record; the blob keeps its old bytes.
inline constexpr Status32 kErrHotspotTooLarge = 0x12706;

namespace instrument_flags {
inline constexpr int32_t kLeaveUnsigned = 0x0010;    // the rewritten note's signature is removed, not renewed
inline constexpr int32_t kSkipWatchChecks = 0x0040;  // neither Collecting nor the watch list is consulted
}  // namespace instrument_flags

// Rewrites one item of `note` with the profile's flags OR `flags` (the
// profile's ContextFlags are restored afterwards): "$Body", "$ViewMapLayout"
// and the action bars (any case) through the rich-text rewrite, every other name
// as a script item ("$ScriptLib" is read as "$ScriptLib_O"). Returns
// kErrProfilerNotEnabled or kErrDatabaseNotWatched with the note untouched,
// the module path's refusal or write-back status, the rich-text path's
// kErrHotspotTooLarge, else 0. `names` (the note's script items) is not used.
[[nodiscard]] Status32 InstrumentItem(CLSProfileApp& profile, NoteHandle note, std::string_view itemName,
                                      std::span<const std::string> names, int32_t flags);

// What InstrumentCodeBlob is handed as its user data.
struct CodeBlobUser {
  ItemContext* context = nullptr;
  Status32* status = nullptr;  // receives kErrHotspotTooLarge
  CLSProfileApp* profile = nullptr;
};

// The rich-text rewrite callback: appends the instrumented image of the
// object code `piece` (padded to even), or the piece as it was when it does
// not parse, cannot be rewritten or would not fit. A module rewritten earlier
// is copied and only registered. Never throws; a nonzero status only when not
// even the old bytes fit `out`.
Status32 InstrumentCodeBlob(PieceKind kind, std::span<const uint8_t> piece, uint32_t flags, RecordBuffer& out,
                            CodeLocation* location, void* user);

// Reads the note's marker item named by the module's current checksum
// ("%X_KVX") and, when it maps to another key, adds that mapping to the
// profile's KeyRemap unless the checksum is mapped already.
void RemapModuleKey(CLSProfileApp& profile, NoteHandle note, CLSScriptModule& module);

// The four cached symbol handles of the profile back to "not looked up",
// before each module.
void ResetSymbolHandles(CLSProfileApp& profile);

}  // namespace quillet
