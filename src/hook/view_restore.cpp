// Restoring a rewritten view or folder note from the copy kept before it was
// rewritten, so that a saved view carries the script it had.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/host_text.h"
#include "config/notes_services.h"
#include "hook/quillet_app.h"
#include "hook/rewrite_marker.h"

namespace quillet {
namespace {

// Items that carry compiled LotusScript besides those of the object-code type.
constexpr std::array<std::string_view, 5> kScriptItemNames = {"$AgentHScript_O", "$DBScript_O", "$Body",
                                                              "$ScriptLib_O", "$ViewMapLayout"};

bool IsScriptItem(const ItemInfo& item) {
  if (item.type == kTypeLsObject) return true;
  return std::any_of(kScriptItemNames.begin(), kScriptItemNames.end(),
                     [&](std::string_view name) { return HostCompare(item.name, name, kCompareExact) == 0; });
}

// The names of the note's script items, each once (ignoring case).
STATUS ScriptItemNames(NoteHandle note, std::vector<std::string>& names) {
  STATUS status = Notes().ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    if (IsScriptItem(item)) names.push_back(item.name);
    return kNoError;
  });
  if (status != kNoError) return status;
  auto noCaseLess = [](const std::string& a, const std::string& b) { return HostCompare(a, b, kCompareNoCase) < 0; };
  std::stable_sort(names.begin(), names.end(), noCaseLess);
  names.erase(std::unique(names.begin(), names.end(),
                          [](const std::string& a, const std::string& b) {
                            return HostCompare(a, b, kCompareNoCase) == 0;
                          }),
              names.end());
  return kNoError;
}

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
  if (STATUS status = ScriptItemNames(copy, names); status != kNoError) return status;
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
