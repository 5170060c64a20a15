// The origin of a module being instrumented: the note item it came from and
// the database and note that item belongs to.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// Filled by the note instrumentation for every item and read while the item's
// module is rewritten and its procedures registered.
struct ItemContext {
  std::string DatabasePath;     // host text, at most 255 bytes: canonical (network) path
  int32_t Flags = 0;            // the caller's flags OR the context flags
  uint8_t DatabaseId[8] = {};   // the database's identity value
  uint8_t SequenceTime[8] = {}; // the note's sequence time (host time value)
  uint32_t NoteHandle = 0;      // the host's open note
  uint32_t NoteId = 0;
  int32_t HotspotCount = 0;     // code blobs met so far in a rich-text item
  std::string ItemName;
  std::string Title;
  std::string DisplayName;      // empty, or the code location of a rich-text code blob
};

// Instrumentation flags (the item's Flags).
namespace instrument_flags {
inline constexpr int32_t kTimeProcedures = 0x0001;  // entry code in every profiled procedure
inline constexpr int32_t kTimeLines = 0x0002;       // a line call before every eligible line
inline constexpr int32_t kNoLines = 0x0080;         // overrides kTimeLines
inline constexpr int32_t kEndRunAtInitialize = 0x0020;
inline constexpr int32_t kEndRunAtTerminate = 0x0100;  // wins over kEndRunAtInitialize
}  // namespace instrument_flags

// The name a module goes by in warnings and procedure descriptions: the
// display name when there is one, "(Globals)" for "$$SCRIPT_O", the note's
// title for "$$$FORMSCRIPT_O", otherwise the item name.
std::string ModuleDisplayName(const ItemContext& context);

}  // namespace quillet
