// The simulated host's databases and ID tables.
#include <filesystem>
#include <fstream>

#include "sim/sim_host.h"
#include "sim/sim_path.h"

namespace quillet::sim {

namespace {
bool After(const TimeDate& a, const TimeDate& b) { return TicksFromTime(a) > TicksFromTime(b); }

// Cuts `text` to fit the information buffer, not inside a UTF-8 sequence.
std::string FitInfo(std::string_view text) {
  size_t length = std::min(text.size(), kDbInfoSize - 1);
  if (length < text.size()) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  return std::string(text.substr(0, length));
}
}  // namespace

std::shared_ptr<SimDatabase> SimHost::FindDatabase(std::string_view path) const {
  auto normalised = NormaliseDbPath(LocalPart(path), dataDir_);
  if (!normalised) return nullptr;
  auto found = databases_.find(PathKey(*normalised));
  return found == databases_.end() ? nullptr : found->second;
}

std::shared_ptr<SimDatabase> SimHost::DatabaseOf(DbHandle db) const {
  auto found = openDbs_.find(db.value);
  return found == openDbs_.end() ? nullptr : found->second;
}

STATUS SimHost::OpenLocked(const std::shared_ptr<SimDatabase>& database, DbHandle& db) {
  db = DbHandle{NewHandle()};
  openDbs_[db.value] = database;
  return kNoError;
}

// Every database has a marker file at its path under the data directory, so
// that file-attribute checks of database paths see it.
STATUS SimHost::CreateDatabaseLocked(std::string_view path, std::shared_ptr<SimDatabase>& database) {
  auto normalised = NormaliseDbPath(LocalPart(path), dataDir_);
  if (!normalised) return kErrInvalidArgument;
  const std::string key = PathKey(*normalised);
  if (databases_.contains(key)) return kErrFileExists;
  const std::filesystem::path file = std::filesystem::path(dataDir_) / *normalised;
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  std::ofstream marker(file, std::ios::binary | std::ios::trunc);
  marker << "simulated database\n";
  marker.close();
  if (!marker) return kErrFileWriteFailed;
  database = std::make_shared<SimDatabase>(*normalised, clock_.Stamp());
  databases_[key] = database;
  return kNoError;
}

STATUS SimHost::DbOpen(std::string_view path, DbHandle& db) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbOpen")) return failure;
  if (!NormaliseDbPath(LocalPart(path), dataDir_)) return kErrInvalidArgument;
  auto database = FindDatabase(path);
  if (!database) return kErrFileNotFound;
  return OpenLocked(database, db);
}

STATUS SimHost::DbOpenModifiedSince(std::string_view path, const TimeDate& since, DbHandle& db,
                                    TimeDate& modified) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbOpenModifiedSince")) return failure;
  if (!NormaliseDbPath(LocalPart(path), dataDir_)) return kErrInvalidArgument;
  auto database = FindDatabase(path);
  if (!database) return kErrFileNotFound;
  if (!After(database->lastModified(), since)) return kErrNoModifiedNotes;
  modified = database->lastModified();
  return OpenLocked(database, db);
}

STATUS SimHost::DbClose(DbHandle db) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbClose")) return failure;
  return openDbs_.erase(db.value) == 1 ? kNoError : kErrInvalidHandle;
}

STATUS SimHost::DbCanonicalPath(DbHandle db, std::string& path) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbCanonicalPath")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  path = database->path();
  return kNoError;
}

STATUS SimHost::DbReplicationFlags(DbHandle db, uint16_t& flags) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbReplicationFlags")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  flags = database->replicationFlags;
  return kNoError;
}

STATUS SimHost::DbModifiedNoteTable(DbHandle db, uint16_t noteClass, const TimeDate& since, TableHandle& table,
                                    TimeDate& until) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbModifiedNoteTable")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  table = TableHandle{NewHandle()};
  tables_[table.value] = IdTable{database->ModifiedSince(noteClass, since), 0};
  // Every later change is stamped after Now(), so it is newer than `until`.
  until = clock_.Now();
  return kNoError;
}

STATUS SimHost::DbCreateAndCopy(std::string_view source, std::string_view target, uint16_t noteClasses,
                                uint16_t /*limit*/, uint32_t /*options*/, DbHandle& db) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbCreateAndCopy")) return failure;
  auto from = FindDatabase(source);
  if (!from) return kErrFileNotFound;
  std::shared_ptr<SimDatabase> to;
  if (STATUS status = CreateDatabaseLocked(target, to)) return status;
  to->info = from->info;
  for (const auto& [id, note] : from->notes()) {
    if ((note.noteClass & noteClasses) == 0) continue;
    SimNote copy = note;
    copy.id = 0;
    (void)to->Store(std::move(copy), clock_.Stamp());
  }
  return OpenLocked(to, db);
}

STATUS SimHost::DbInfoRead(DbHandle db, std::string& info) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbInfoRead")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  info = database->info;
  return kNoError;
}

STATUS SimHost::DbInfoWrite(DbHandle db, std::string_view info) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbInfoWrite")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  database->info = FitInfo(info);
  return kNoError;
}

std::string SimHost::DbInfoTitle(std::string_view info) { return std::string(info.substr(0, info.find('\n'))); }

std::string SimHost::DbInfoWithTitle(std::string_view info, std::string_view title) {
  const size_t rest = info.find('\n');
  std::string result(title);
  if (rest != std::string_view::npos) result += info.substr(rest);
  return FitInfo(result);
}

STATUS SimHost::DbCopyAcl(DbHandle source, DbHandle target, uint16_t defaultLevel) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbCopyAcl")) return failure;
  auto from = DatabaseOf(source);
  auto to = DatabaseOf(target);
  if (!from || !to) return kErrInvalidHandle;
  to->acl = from->acl;
  to->acl.defaultLevel = defaultLevel;
  return kNoError;
}

// Special-note indexes carry 0x8000 and the note class in the low bits.
STATUS SimHost::DbSpecialNoteId(DbHandle db, uint16_t index, NoteId& id) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbSpecialNoteId")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  if ((index & 0x8000) == 0) return kErrInvalidArgument;
  auto found = database->FirstOfClass(static_cast<uint16_t>(index & 0x7FFF));
  if (!found) return kErrNoteNotFound;
  id = *found;
  return kNoError;
}

STATUS SimHost::DbIdentity(DbHandle db, TimeDate& id) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbIdentity")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  id = database->identity();
  return kNoError;
}

STATUS SimHost::DbNoteByUnid(DbHandle db, const Unid& unid, NoteId& id, uint16_t& noteClass) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("DbNoteByUnid")) return failure;
  auto database = DatabaseOf(db);
  if (!database) return kErrInvalidHandle;
  const SimNote* note = database->FindByUnid(unid);
  if (note == nullptr) return kErrNoteNotFound;
  id = note->id;
  noteClass = note->noteClass;
  return kNoError;
}

bool SimHost::TableScan(TableHandle table, bool first, NoteId& id) {
  std::lock_guard lock(mu_);
  auto found = tables_.find(table.value);
  if (found == tables_.end()) return false;
  IdTable& entries = found->second;
  if (first) entries.next = 0;
  if (entries.next >= entries.ids.size()) return false;
  id = entries.ids[entries.next++];
  return true;
}

STATUS SimHost::TableDestroy(TableHandle table) {
  std::lock_guard lock(mu_);
  return tables_.erase(table.value) == 1 ? kNoError : kErrInvalidHandle;
}

// --- Control: data ---------------------------------------------------------------------

STATUS SimHost::CreateDatabase(std::string_view path, std::string_view title) {
  std::lock_guard lock(mu_);
  std::shared_ptr<SimDatabase> database;
  if (STATUS status = CreateDatabaseLocked(path, database)) return status;
  database->info = FitInfo(title);
  return kNoError;
}

bool SimHost::DatabaseExists(std::string_view path) const {
  std::lock_guard lock(mu_);
  return FindDatabase(path) != nullptr;
}

STATUS SimHost::CreateNote(std::string_view dbPath, uint16_t noteClass, const std::vector<SimItemSpec>& items,
                           NoteId& id) {
  std::lock_guard lock(mu_);
  auto database = FindDatabase(dbPath);
  if (!database) return kErrFileNotFound;
  SimNote note;
  note.noteClass = noteClass;
  for (const SimItemSpec& item : items) note.Append(item.flags, item.name, item.type, item.value);
  id = database->Store(std::move(note), clock_.Stamp());
  return kNoError;
}

STATUS SimHost::DeleteNote(std::string_view dbPath, NoteId id) {
  std::lock_guard lock(mu_);
  auto database = FindDatabase(dbPath);
  if (!database) return kErrFileNotFound;
  return database->Delete(id, clock_.Stamp()) ? kNoError : kErrNoteNotFound;
}

STATUS SimHost::SetReplicationFlags(std::string_view dbPath, uint16_t flags) {
  std::lock_guard lock(mu_);
  auto database = FindDatabase(dbPath);
  if (!database) return kErrFileNotFound;
  database->replicationFlags = flags;
  return kNoError;
}

STATUS SimHost::SetAcl(std::string_view dbPath, const SimAcl& acl) {
  std::lock_guard lock(mu_);
  auto database = FindDatabase(dbPath);
  if (!database) return kErrFileNotFound;
  database->acl = acl;
  return kNoError;
}

STATUS SimHost::ReadAcl(std::string_view dbPath, SimAcl& acl) const {
  std::lock_guard lock(mu_);
  auto database = FindDatabase(dbPath);
  if (!database) return kErrFileNotFound;
  acl = database->acl;
  return kNoError;
}

size_t SimHost::OpenDatabaseCount() const {
  std::lock_guard lock(mu_);
  return openDbs_.size();
}

size_t SimHost::OpenTableCount() const {
  std::lock_guard lock(mu_);
  return tables_.size();
}

}  // namespace quillet::sim
