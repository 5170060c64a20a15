// The simulated host: a complete in-memory Notes API for Linux, with control
// methods through which tests and tools shape it (databases, notes, clock,
// ID files, failures, exports). One mutex guards all state; callbacks (item
// and queue scans) run without it, so they may call back into the host.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "sim/sim_database.h"
#include "sim/sim_queue.h"
#include "sim/sim_spare_values.h"
#include "sim/sim_time.h"

namespace quillet::sim {

// An item for the note-building helpers; `value` excludes the type word.
struct SimItemSpec {
  std::string name;
  uint16_t type = kTypeText;
  std::vector<uint8_t> value;
  uint16_t flags = kItemSummary;

  static SimItemSpec Text(std::string name, std::string_view text);
  static SimItemSpec TextList(std::string name, const std::vector<std::string>& entries);
  static SimItemSpec Number(std::string name, double value);
  static SimItemSpec Time(std::string name, const TimeDate& value);
};

class SimHost final : public NotesApi {
 public:
  // `dataDirectory` must exist; it holds database marker files, the settings
  // file, reports and extracted attachments.
  explicit SimHost(std::string dataDirectory);
  // Unregisters what this host registered (exports, modules, process identity).
  ~SimHost() override;
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // --- NotesApi: process ------------------------------------------------------
  bool EnvironmentString(std::string_view name, std::string& value) override;
  int32_t EnvironmentInt(std::string_view name) override;
  void SetEnvironmentString(std::string_view name, std::string_view value) override;
  std::string DataDirectory() override;
  void ConsoleLine(std::string_view text) override;
  STATUS ThreadInit() override;
  void ThreadTerm() override;
  std::string CurrentUserName() override;
  TimeDate CurrentTime() override;
  TimeDate MinimumTime() override;
  bool ProcessQuery(uint16_t what) override;

  // --- NotesApi: text ---------------------------------------------------------
  STATUS Translate(uint16_t mode, std::span<const uint8_t> in, std::vector<uint8_t>& out) override;
  int Compare(std::string_view a, std::string_view b, uint16_t option) override;
  bool StatusText(STATUS status, std::string& text) override;
  std::string NetworkPath(std::string_view server, std::string_view file) override;

  // --- NotesApi: databases and ID tables ---------------------------------------
  STATUS DbOpen(std::string_view path, DbHandle& db) override;
  STATUS DbOpenModifiedSince(std::string_view path, const TimeDate& since, DbHandle& db,
                             TimeDate& modified) override;
  STATUS DbClose(DbHandle db) override;
  STATUS DbCanonicalPath(DbHandle db, std::string& path) override;
  STATUS DbReplicationFlags(DbHandle db, uint16_t& flags) override;
  STATUS DbModifiedNoteTable(DbHandle db, uint16_t noteClass, const TimeDate& since, TableHandle& table,
                             TimeDate& until) override;
  STATUS DbCreateAndCopy(std::string_view source, std::string_view target, uint16_t noteClasses, uint16_t limit,
                         uint32_t options, DbHandle& db) override;
  STATUS DbInfoRead(DbHandle db, std::string& info) override;
  STATUS DbInfoWrite(DbHandle db, std::string_view info) override;
  std::string DbInfoTitle(std::string_view info) override;
  std::string DbInfoWithTitle(std::string_view info, std::string_view title) override;
  STATUS DbCopyAcl(DbHandle source, DbHandle target, uint16_t defaultLevel) override;
  STATUS DbSpecialNoteId(DbHandle db, uint16_t index, NoteId& id) override;
  STATUS DbIdentity(DbHandle db, TimeDate& id) override;
  STATUS DbNoteByUnid(DbHandle db, const Unid& unid, NoteId& id, uint16_t& noteClass) override;
  bool TableScan(TableHandle table, bool first, NoteId& id) override;
  STATUS TableDestroy(TableHandle table) override;

  // --- NotesApi: notes ----------------------------------------------------------
  STATUS NoteOpen(DbHandle db, NoteId id, uint16_t flags, NoteHandle& note) override;
  STATUS NoteCreate(DbHandle db, NoteHandle& note) override;
  STATUS NoteCopy(NoteHandle source, NoteHandle& copy) override;
  STATUS NoteUpdate(NoteHandle note, uint16_t flags) override;
  STATUS NoteClose(NoteHandle note) override;
  DbHandle NoteDatabase(NoteHandle note) override;
  NoteId NoteGetId(NoteHandle note) override;
  OriginatorId NoteOriginator(NoteHandle note) override;
  uint16_t NoteClass(NoteHandle note) override;
  void NoteSetClass(NoteHandle note, uint16_t noteClass) override;
  bool NoteIsSigned(NoteHandle note, bool& sealed) override;
  STATUS NoteRemoveSignature(NoteHandle note) override;
  STATUS NoteSign(NoteHandle note) override;
  STATUS NoteContract(NoteHandle note) override;
  STATUS NoteSigner(NoteHandle note, std::string& signer, std::string& certifier) override;

  // --- NotesApi: items -----------------------------------------------------------
  STATUS ItemFind(NoteHandle note, std::string_view name, ItemInfo& info) override;
  STATUS ItemFindNext(NoteHandle note, ItemId previous, ItemInfo& info) override;
  STATUS ItemQuery(NoteHandle note, ItemId item, ItemInfo& info) override;
  // Views keep the note's items as they are: until the last is released,
  // every change of its items, NoteUpdate and NoteClose answer
  // kErrValuesHeld and change nothing.
  STATUS ItemFindView(NoteHandle note, std::string_view name, ItemValueView& view) override;
  STATUS ItemFindNextView(NoteHandle note, ItemId previous, ItemValueView& view) override;
  void ItemViewRelease(uint32_t lock) override;
  uint16_t ItemText(NoteHandle note, std::string_view name, std::string& text, uint16_t bufferSize) override;
  bool ItemNumber(NoteHandle note, std::string_view name, double& value) override;
  bool ItemTime(NoteHandle note, std::string_view name, TimeDate& value) override;
  uint16_t ItemTextListCount(NoteHandle note, std::string_view name) override;
  uint16_t ItemTextListEntry(NoteHandle note, std::string_view name, uint16_t index, std::string& text,
                             uint16_t bufferSize) override;
  STATUS ItemSetText(NoteHandle note, std::string_view name, std::string_view text) override;
  STATUS ItemSetNumber(NoteHandle note, std::string_view name, double value) override;
  STATUS ItemSetTime(NoteHandle note, std::string_view name, const TimeDate& value) override;
  STATUS ItemAppend(NoteHandle note, uint16_t flags, std::string_view name, uint16_t type,
                    std::span<const uint8_t> value) override;
  STATUS ItemDelete(NoteHandle note, std::string_view name) override;
  STATUS ItemDeleteById(NoteHandle note, ItemId item) override;
  STATUS ItemCopy(NoteHandle target, NoteHandle source, ItemId item) override;
  STATUS ItemScan(NoteHandle note, const ItemScanCallback& callback) override;
  STATUS ItemAsText(NoteHandle note, std::string_view name, std::string& text, char separator,
                    uint16_t bufferSize) override;
  STATUS AttachFile(NoteHandle note, std::string_view filePath, std::string_view attachmentName) override;
  STATUS ExtractFile(NoteHandle note, ItemId attachment, std::string_view filePath) override;

  // --- NotesApi: composite data (sim_host_structure.cpp, sim_composite.cpp) -------
  STATUS StructureConvert(uint16_t code, StructureForm from, std::span<const uint8_t> in, std::span<uint8_t> out,
                          StructureSizes& sizes) override;
  STATUS EnumerateCompositeRecords(std::span<const uint8_t> value, const CompositeRecordCallback& callback) override;

  // --- NotesApi: message queues ------------------------------------------------------
  STATUS QueueCreate(std::string_view name, uint16_t quota) override;
  STATUS QueueOpen(std::string_view name, QueueHandle& queue) override;
  STATUS QueueClose(QueueHandle queue) override;
  STATUS QueuePut(QueueHandle queue, std::span<const uint8_t> message) override;
  STATUS QueueScan(QueueHandle queue, uint16_t bufferSize, const QueueScanCallback& callback) override;

  // --- Run-time-resolved functions (the "nnotes" exports forward here) ------------------
  STATUS NoteExpand(NoteHandle note);
  // Remembers the current ID as the root (first call only), then switches to
  // `idFile` when one is given. `context`, when not null, receives 1.
  STATUS AttachToId(const char* idFile, const char* password, uint32_t* context);
  // Returns to the ID remembered by AttachToId (nothing when none is).
  STATUS ReattachToRootId();
  // Checks `password` against the ID file and makes its user current.
  // `operation` names the export, for failure injection.
  STATUS SwitchToIdFile(std::string_view operation, const char* idFile, const char* password, std::string& user);

  // --- Control: process ------------------------------------------------------------------
  void SetCurrentUser(std::string_view user);
  void SetProcessIdentity(std::u16string executablePath, std::u16string commandLine);
  void SetProcessQueryFlag(bool on);
  // Registers (or removes) a loaded module without exports, e.g. "NNOTESWS.DLL".
  void SetModuleLoaded(std::u16string_view name, bool loaded);
  void AdvanceClock(uint64_t hundredths);
  void SetConsoleEcho(bool echo);
  std::vector<std::string> ConsoleLines() const;
  void ClearConsole();
  // Library threads registered with ThreadInit and not yet ended.
  int32_t ActiveHostThreads() const;
  // The next call of `operation` (a NotesApi method or export name, e.g.
  // "DbOpen", "SECKFMSwitchToIDFile") returns `status`. Calls queue up.
  void FailNext(std::string_view operation, STATUS status);
  // The next call of `operation` throws std::runtime_error instead, as a
  // failed allocation inside the host's adapter would. Calls queue up.
  void ThrowNext(std::string_view operation);

  // --- Control: data -------------------------------------------------------------------------
  // Creates an empty database (and its marker file on disk) with `title`.
  [[nodiscard]] STATUS CreateDatabase(std::string_view path, std::string_view title = {});
  bool DatabaseExists(std::string_view path) const;
  // Stores a new note with `items`; `id` receives its note ID.
  [[nodiscard]] STATUS CreateNote(std::string_view dbPath, uint16_t noteClass, const std::vector<SimItemSpec>& items,
                                  NoteId& id);
  // Deletes a stored note, leaving a deletion stub for modified-note tables.
  [[nodiscard]] STATUS DeleteNote(std::string_view dbPath, NoteId id);
  [[nodiscard]] STATUS SetReplicationFlags(std::string_view dbPath, uint16_t flags);
  [[nodiscard]] STATUS SetAcl(std::string_view dbPath, const SimAcl& acl);
  [[nodiscard]] STATUS ReadAcl(std::string_view dbPath, SimAcl& acl) const;
  bool IsExpanded(NoteHandle note) const;
  size_t OpenDatabaseCount() const;
  size_t OpenNoteCount() const;
  size_t OpenTableCount() const;
  size_t WaitingMessages(std::string_view queueName) const;
  // Writes a simulated ID file (relative paths: in the data directory).
  [[nodiscard]] STATUS CreateIdFile(std::string_view path, std::string_view user, std::string_view password);

  // --- Control: exports ------------------------------------------------------------------------
  // Registers module "nnotes" with the five run-time-resolved functions, all
  // forwarding to this host (except removed ones).
  void RegisterExports();
  void UnregisterExports();
  void RemoveExport(std::string_view name);
  void RestoreExport(std::string_view name);

 private:
  struct OpenNote {
    DbHandle db;
    std::shared_ptr<SimDatabase> database;
    SimNote note;
    bool expanded = false;
    uint32_t heldViews = 0;  // item value views not yet released
  };
  struct IdTable {
    std::vector<NoteId> ids;
    size_t next = 0;
  };

  // All helpers below REQUIRE mu_ held.
  STATUS TakeFailure(std::string_view operation);
  uint32_t NewHandle() { return nextHandle_++; }
  std::shared_ptr<SimDatabase> FindDatabase(std::string_view path) const;
  std::shared_ptr<SimDatabase> DatabaseOf(DbHandle db) const;
  OpenNote* NoteOf(NoteHandle note);
  // The open note for a change of its items: kErrInvalidHandle when there
  // is none, kErrValuesHeld while views of its values are held.
  STATUS NoteForChange(NoteHandle note, OpenNote*& open);
  // Makes `view` hold `item`'s stored value (type word first).
  void HoldView(NoteHandle note, OpenNote& open, const SimItem& item, ItemValueView& view);
  const SimItem* ItemOf(NoteHandle note, ItemId item);
  ItemInfo InfoOf(NoteHandle note, const SimItem& item) const;
  STATUS OpenLocked(const std::shared_ptr<SimDatabase>& database, DbHandle& db);
  STATUS CreateDatabaseLocked(std::string_view path, std::shared_ptr<SimDatabase>& database);
  STATUS SetItemLocked(NoteHandle note, std::string_view name, uint16_t type, std::span<const uint8_t> value);
  void PublishExportsLocked();

  mutable std::mutex mu_;
  const std::string dataDir_;
  SimClock clock_;
  std::map<std::string, std::string> environment_;  // upper-cased name -> value
  std::vector<std::string> console_;
  bool echo_ = false;
  std::string user_ = "CN=Sim Server/O=Sim";
  std::optional<std::string> rootUser_;
  bool processQuery_ = false;
  bool identityOverridden_ = false;
  std::set<std::u16string> loadedModules_;
  int32_t hostThreads_ = 0;
  std::map<std::string, std::vector<STATUS>> failures_;
  std::map<std::string, int> throws_;  // pending ThrowNext calls per operation

  std::map<std::string, std::shared_ptr<SimDatabase>> databases_;  // PathKey -> database
  std::map<uint32_t, std::shared_ptr<SimDatabase>> openDbs_;
  std::map<uint32_t, OpenNote> openNotes_;
  std::map<uint32_t, IdTable> tables_;
  std::map<uint32_t, std::vector<uint8_t>> objects_;  // attachment contents
  SimSpareValues spareValues_;                         // memory of deleted item values
  uint32_t nextObject_ = 1;
  uint32_t nextHandle_ = 1;
  SimQueues queues_;

  bool exportsRegistered_ = false;
  std::set<std::string> removedExports_;
};

}  // namespace quillet::sim
