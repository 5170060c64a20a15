// The simulated host's notes: open, create, copy, update, close, note
// information, signatures and the expanded state.
#include "sim/sim_host.h"

namespace quillet::sim {

SimHost::OpenNote* SimHost::NoteOf(NoteHandle note) {
  auto found = openNotes_.find(note.value);
  return found == openNotes_.end() ? nullptr : &found->second;
}

STATUS SimHost::NoteOpen(DbHandle db, NoteId id, uint16_t /*flags*/, NoteHandle& note) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteOpen")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  const SimNote* stored = (id & kNoteIdDeletedBit) ? nullptr : database->Find(id);
  if (stored == nullptr) return kErrNoteNotFound;
  note = NoteHandle{NewHandle()};
  openNotes_[note.value] = OpenNote{db, database, *stored, false};
  return kNoError;
}

STATUS SimHost::NoteCreate(DbHandle db, NoteHandle& note) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteCreate")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  note = NoteHandle{NewHandle()};
  openNotes_[note.value] = OpenNote{db, database, SimNote{}, false};
  return kNoError;
}

STATUS SimHost::NoteCopy(NoteHandle source, NoteHandle& copy) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteCopy")) return failure;
  OpenNote* from = NoteOf(source);
  if (from == nullptr) return kErrInvalidHandle;
  OpenNote duplicate{from->db, from->database, from->note, false};
  duplicate.note.id = 0;
  copy = NoteHandle{NewHandle()};
  openNotes_[copy.value] = std::move(duplicate);
  return kNoError;
}

STATUS SimHost::NoteUpdate(NoteHandle note, uint16_t /*flags*/) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteUpdate")) return failure;
  // Storing gives the handle the stored note's items, in new memory.
  OpenNote* open = nullptr;
  if (STATUS status = NoteForChange(note, open)) return status;
  const NoteId id = open->database->Store(open->note, clock_.Stamp());
  if (id == 0) return kErrNoteNotFound;
  // The handle now shows what was stored: ID, universal ID, sequence.
  open->note = *open->database->Find(id);
  return kNoError;
}

STATUS SimHost::NoteClose(NoteHandle note) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteClose")) return failure;
  OpenNote* open = nullptr;
  if (STATUS status = NoteForChange(note, open)) return status;
  openNotes_.erase(note.value);
  return kNoError;
}

DbHandle SimHost::NoteDatabase(NoteHandle note) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  return open ? open->db : DbHandle{};
}

NoteId SimHost::NoteGetId(NoteHandle note) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  return open ? open->note.id : 0;
}

OriginatorId SimHost::NoteOriginator(NoteHandle note) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  return open ? open->note.originator : OriginatorId{};
}

uint16_t SimHost::NoteClass(NoteHandle note) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  return open ? open->note.noteClass : 0;
}

void SimHost::NoteSetClass(NoteHandle note, uint16_t noteClass) {
  std::lock_guard lock(mu_);
  if (OpenNote* open = NoteOf(note)) open->note.noteClass = noteClass;
}

bool SimHost::NoteIsSigned(NoteHandle note, bool& sealed) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  sealed = open != nullptr && open->note.signature.sealed;
  return open != nullptr && open->note.signature.isSigned;
}

STATUS SimHost::NoteRemoveSignature(NoteHandle note) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteRemoveSignature")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  open->note.signature = SimSignature{};
  return kNoError;
}

// The signer is the current ID's name; its certifier the name's part after
// the first "/" (empty for a flat name).
STATUS SimHost::NoteSign(NoteHandle note) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteSign")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  SimSignature& signature = open->note.signature;
  signature.isSigned = true;
  signature.signer = user_;
  const size_t slash = user_.find('/');
  signature.certifier = slash == std::string::npos ? std::string() : user_.substr(slash + 1);
  return kNoError;
}

STATUS SimHost::NoteExpand(NoteHandle note) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NSFNoteExpand")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  open->expanded = true;
  return kNoError;
}

STATUS SimHost::NoteContract(NoteHandle note) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteContract")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  open->expanded = false;
  return kNoError;
}

STATUS SimHost::NoteSigner(NoteHandle note, std::string& signer, std::string& certifier) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("NoteSigner")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  if (!open->note.signature.isSigned) return kErrNotSigned;
  signer = open->note.signature.signer;
  certifier = open->note.signature.certifier;
  return kNoError;
}

bool SimHost::IsExpanded(NoteHandle note) const {
  std::lock_guard lock(mu_);
  auto found = openNotes_.find(note.value);
  return found != openNotes_.end() && found->second.expanded;
}

size_t SimHost::OpenNoteCount() const {
  std::lock_guard lock(mu_);
  return openNotes_.size();
}

}  // namespace quillet::sim
