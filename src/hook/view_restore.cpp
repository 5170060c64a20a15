// Restoring a rewritten view or folder note from the copy kept before it was
// rewritten, so that a saved view carries the script it had.
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_services.h"
#include "hook/quillet_app.h"
#include "hook/rewrite_marker.h"
#include "lsobject/script_items.h"

namespace quillet {
namespace {

// Marker items the rewrite added to `note` that the copy does not have.
STATUS AddedMarkers(NoteHandle note, NoteHandle copy, std::vector<std::string>& markers) {
  NotesApi& notes = Notes();
  STATUS status = notes.ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    if (item.type == kTypeNumber && IsRewriteMarkerName(item.name)) markers.push_back(item.name);
    return kNoError;
  });
  if (status != kNoError) return status;
  std::erase_if(markers, [&](const std::string& name) {
    ItemInfo kept;
    return notes.ItemFind(copy, name, kept) == kNoError;
  });
  return kNoError;
}

// Replaces every instance of `name` in `note` by the copy's instances, in
// their stored order (a large module spans several items of one name).
STATUS CopyItemInstances(NotesApi& notes, NoteHandle note, NoteHandle copy, std::string_view name) {
  ItemInfo stored;
  STATUS status = notes.ItemFind(copy, name, stored);
  if (status != kNoError) return StatusCode(status) == kErrItemNotFound ? kNoError : status;
  if (status = DeleteItems(note, name); status != kNoError) return status;
  while (true) {
    if (status = notes.ItemCopy(note, copy, stored.item); status != kNoError) return status;
    ItemInfo next;
    status = notes.ItemFindNext(copy, stored.item, next);
    if (StatusCode(status) == kErrItemNotFound) return kNoError;
    if (status != kNoError) return status;
    stored = std::move(next);
  }
}

}  // namespace

STATUS CQuilletApp::RestoreViewNote(NoteHandle note) {
  NotesApi& notes = Notes();
  if ((notes.NoteClass(note) & kNoteClassView) == 0) return kNoError;
  const NoteHandle copy = SavedViewNote(notes.NoteOriginator(note).unid);
  if (!copy) return kNoError;
  std::vector<std::string> names;
  std::vector<std::string> markers;
  // Everything is read before the note changes, so a failed read changes nothing.
  if (STATUS status = ListScriptItems(copy, names); status != kNoError) return status;
  if (STATUS status = AddedMarkers(note, copy, markers); status != kNoError) return status;
  for (const std::string& name : names) {
    if (STATUS status = CopyItemInstances(notes, note, copy, name); status != kNoError) return status;
  }
  // The markers name rewritten modules that are no longer in the note.
  for (const std::string& marker : markers) {
    if (STATUS status = DeleteItems(note, marker); status != kNoError) return status;
  }
  return kNoError;
}

}  // namespace quillet
