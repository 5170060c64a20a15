// A simulated database: its notes and deletion stubs, information text,
// replication flags, access list and identity.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/notes_api.h"
#include "sim/sim_note.h"

namespace quillet::sim {

inline constexpr NoteId kFirstNoteId = 0x20E;  // note IDs step by 4 from here
inline constexpr NoteId kNoteIdStep = 4;
inline constexpr size_t kDbInfoSize = 128;     // information buffer, terminator included

struct SimAcl {
  std::map<std::string, uint16_t> entries;  // name -> access level
  uint16_t defaultLevel = 0;
};

class SimDatabase {
 public:
  SimDatabase(std::string canonicalPath, TimeDate identity);

  const std::string& path() const { return path_; }
  const TimeDate& identity() const { return identity_; }
  // The time of the last stored or deleted note (the identity's time before any).
  const TimeDate& lastModified() const { return lastModified_; }

  std::string info;
  uint16_t replicationFlags = 0;
  SimAcl acl;

  // Stores `note` at time `when`: a note without ID gets a new one; a note
  // whose universal ID is zero or already used by another note gets a fresh
  // one. Sequence number and time and the modification time move on.
  // Returns the stored note's ID, or 0 when the note has an ID the database
  // does not hold (it was deleted meanwhile).
  NoteId Store(SimNote note, const TimeDate& when);
  // Removes a note, leaving a deletion stub stamped `when`.
  bool Delete(NoteId id, const TimeDate& when);

  const SimNote* Find(NoteId id) const;
  const SimNote* FindByUnid(const Unid& unid) const;
  // The lowest-ID note of exactly `noteClass`.
  std::optional<NoteId> FirstOfClass(uint16_t noteClass) const;
  // IDs of notes whose class shares a bit with `classMask`, stored or deleted
  // after `since`, ascending; deletions carry kNoteIdDeletedBit.
  std::vector<NoteId> ModifiedSince(uint16_t classMask, const TimeDate& since) const;
  const std::map<NoteId, SimNote>& notes() const { return notes_; }

 private:
  struct Deletion {
    uint16_t noteClass = 0;
    TimeDate when;
  };
  Unid NewUnid(const TimeDate& when) const;

  std::string path_;
  TimeDate identity_;
  TimeDate lastModified_;
  NoteId nextId_ = kFirstNoteId;
  std::map<NoteId, SimNote> notes_;
  std::map<NoteId, Deletion> deletions_;
};

}  // namespace quillet::sim
