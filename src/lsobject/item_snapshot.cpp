// Copies of note items and putting them back.
#include "lsobject/item_snapshot.h"

#include "config/host_text.h"
#include "config/notes_services.h"

namespace quillet {

STATUS ItemSnapshot::Take(NoteHandle note, std::string_view name) {
  for (const std::string& taken : names_)
    if (HostCompare(taken, name, kCompareNoCase) == 0) return kNoError;
  NotesApi& notes = Notes();
  std::vector<ItemInfo> copies;
  ItemInfo info;
  STATUS status = notes.ItemFind(note, name, info);
  while (status == kNoError) {
    copies.push_back(std::move(info));  // the host's copy is ours: taken over
    status = notes.ItemFindNext(note, copies.back().item, info);
  }
  if (StatusCode(status) != kErrItemNotFound) return status;
  names_.emplace_back(name);
  for (ItemInfo& copy : copies) instances_.push_back(std::move(copy));
  return kNoError;
}

STATUS ItemSnapshot::Restore(NoteHandle note) const {
  NotesApi& notes = Notes();
  STATUS first = kNoError;
  auto keep = [&first](STATUS status) {
    if (first == kNoError && status != kNoError) first = status;
  };
  for (const std::string& name : names_) keep(DeleteItems(note, name));
  for (const ItemInfo& copy : instances_) {
    // The stored value carries its type word first; an append takes the data alone.
    const std::span<const uint8_t> value(copy.value);
    keep(notes.ItemAppend(note, copy.flags, copy.name, copy.type, value.size() >= 2 ? value.subspan(2) : std::span<const uint8_t>{}));
  }
  return first;
}

}  // namespace quillet
