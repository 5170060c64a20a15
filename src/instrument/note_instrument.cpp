// InstrumentItem: one item of a note, through the module path or the
// rich-text path, under the item's flags.
#include "instrument/note_instrument.h"

#include "instrument/note_item_context.h"
#include "instrument/note_paths.h"
#include "lsobject/script_items.h"

namespace quillet {
namespace {

// The item's flags stay in the context's ContextFlags while it is rewritten;
// the old value comes back however the item ends.
class ContextFlagsScope {
 public:
  ContextFlagsScope(CLSProfileApp& profile, int32_t flags) : profile_(profile), saved_(profile.ContextFlags) {
    profile_.ContextFlags |= flags;
  }
  ~ContextFlagsScope() { profile_.ContextFlags = saved_; }
  ContextFlagsScope(const ContextFlagsScope&) = delete;
  ContextFlagsScope& operator=(const ContextFlagsScope&) = delete;

 private:
  CLSProfileApp& profile_;
  int32_t saved_;
};

}  // namespace

Status32 InstrumentItem(CLSProfileApp& profile, NoteHandle note, std::string_view itemName,
                        std::span<const std::string> /*names*/, int32_t flags) {
  ItemContext context;
  if (const Status32 refused = FillItemContext(profile, note, itemName, flags, context); refused != kNoError) {
    return refused;
  }
  const ContextFlagsScope scope(profile, flags);
  context.Flags = profile.ContextFlags;
  if (IsRichTextScriptItem(context.ItemName)) return InstrumentRichTextItem(profile, note, context);
  return InstrumentScriptItem(profile, note, context);
}

}  // namespace quillet
