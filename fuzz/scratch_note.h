// A fresh note of a database of the simulated host, for the targets that
// rewrite items of a note: the database is made on first use, and the note
// is closed, never saved, so runs do not pile up notes.
#pragma once

#include <string_view>

#include "config/notes_api.h"
#include "fuzz/fuzz_check.h"
#include "sim/sim_host.h"

namespace quillet::fuzz {

class ScratchNote {
 public:
  explicit ScratchNote(std::string_view dbPath) : host_(NeedHost()) {
    if (!host_.DatabaseExists(dbPath) && host_.CreateDatabase(dbPath) != kNoError) return;
    if (host_.DbOpen(dbPath, db_) != kNoError) return;
    dbOpen_ = true;
    noteOpen_ = host_.NoteCreate(db_, note_) == kNoError;
  }
  ~ScratchNote() {
    (void)Close();
    if (dbOpen_) (void)host_.DbClose(db_);
  }
  ScratchNote(const ScratchNote&) = delete;
  ScratchNote& operator=(const ScratchNote&) = delete;

  bool ok() const { return noteOpen_; }
  NoteHandle handle() const { return note_; }
  // Closes the note (once); the host's status.
  STATUS Close() {
    if (!noteOpen_) return kNoError;
    noteOpen_ = false;
    return host_.NoteClose(note_);
  }

 private:
  sim::SimHost& host_;
  DbHandle db_;
  NoteHandle note_;
  bool dbOpen_ = false;
  bool noteOpen_ = false;
};

}  // namespace quillet::fuzz
