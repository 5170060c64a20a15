// Storage, deletion and change tracking of a simulated database.
#include "sim/sim_database.h"

#include <algorithm>

#include "sim/sim_time.h"
#include "util/bytes.h"

namespace quillet::sim {

namespace {
bool After(const TimeDate& a, const TimeDate& b) { return TicksFromTime(a) > TicksFromTime(b); }
bool IsZero(const Unid& unid) { return unid == Unid{}; }
}  // namespace

SimDatabase::SimDatabase(std::string canonicalPath, TimeDate identity)
    : path_(std::move(canonicalPath)), identity_(identity), lastModified_(identity) {}

// File part: the database identity; note part: the store time, which the
// clock never repeats.
Unid SimDatabase::NewUnid(const TimeDate& when) const {
  Unid unid;
  StoreU32(unid.bytes + 0, identity_.innards[0]);
  StoreU32(unid.bytes + 4, identity_.innards[1]);
  StoreU32(unid.bytes + 8, when.innards[0]);
  StoreU32(unid.bytes + 12, when.innards[1]);
  return unid;
}

NoteId SimDatabase::Store(SimNote note, const TimeDate& when) {
  if (note.id == 0) {
    note.id = nextId_;
    nextId_ += kNoteIdStep;
  } else if (!notes_.contains(note.id)) {
    return 0;
  }
  const SimNote* holder = IsZero(note.originator.unid) ? nullptr : FindByUnid(note.originator.unid);
  if (IsZero(note.originator.unid) || (holder != nullptr && holder->id != note.id)) {
    note.originator.unid = NewUnid(when);
  }
  note.originator.sequence += 1;
  note.originator.sequenceTime = when;
  note.modified = when;
  lastModified_ = when;
  const NoteId id = note.id;
  notes_[id] = std::move(note);
  return id;
}

bool SimDatabase::Delete(NoteId id, const TimeDate& when) {
  auto found = notes_.find(id);
  if (found == notes_.end()) return false;
  deletions_[id] = Deletion{found->second.noteClass, when};
  notes_.erase(found);
  lastModified_ = when;
  return true;
}

const SimNote* SimDatabase::Find(NoteId id) const {
  auto found = notes_.find(id);
  return found == notes_.end() ? nullptr : &found->second;
}

const SimNote* SimDatabase::FindByUnid(const Unid& unid) const {
  for (const auto& [id, note] : notes_) {
    if (note.originator.unid == unid) return &note;
  }
  return nullptr;
}

std::optional<NoteId> SimDatabase::FirstOfClass(uint16_t noteClass) const {
  for (const auto& [id, note] : notes_) {
    if (note.noteClass == noteClass) return id;
  }
  return std::nullopt;
}

std::vector<NoteId> SimDatabase::ModifiedSince(uint16_t classMask, const TimeDate& since) const {
  std::vector<NoteId> ids;
  for (const auto& [id, note] : notes_) {
    if ((note.noteClass & classMask) != 0 && After(note.modified, since)) ids.push_back(id);
  }
  for (const auto& [id, stub] : deletions_) {
    if ((stub.noteClass & classMask) != 0 && After(stub.when, since)) ids.push_back(id | kNoteIdDeletedBit);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

}  // namespace quillet::sim
