// The rich-text path: every piece of object code in "$Body",
// "$ViewMapLayout" or an action bar goes through InstrumentCodeBlob, named by
// its place.
#include <memory>

#include "design/code_location.h"
#include "design/item_reader.h"
#include "instrument/note_instrument.h"
#include "instrument/note_paths.h"

namespace quillet {

void ResetSymbolHandles(CLSProfileApp& profile) {
  profile.LineTimerHandle = kNoSymbolHandle;
  profile.FunctionTimerHandle = kNoSymbolHandle;
  profile.TimerClassHandle = kNoSymbolHandle;
  profile.SpareHandle = kNoSymbolHandle;
}

// Every piece of object code in the item goes through InstrumentCodeBlob;
// the rewrite's own status is not the item's: a rich-text item that cannot
// be rewritten keeps its old instances.
Status32 InstrumentRichTextItem(CLSProfileApp& profile, NoteHandle note, ItemContext& context) {
  context.HotspotCount = 0;
  Status32 status = kNoError;
  std::unique_ptr<CodeLocation> location;
  if (CodeLocation::Create(location) != kNoError) location.reset();
  CodeBlobUser user{&context, &status, &profile};
  (void)RewriteRichTextItem(note, context.ItemName, location.get(), &InstrumentCodeBlob, &user);
  return status;
}

}  // namespace quillet
