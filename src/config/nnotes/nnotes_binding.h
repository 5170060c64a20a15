// The Notes API seam over the real host: every operation calls the C API
// function of the same role in the loaded module "nnotes", looked up by name
// at run time (the library is never linked against nnotes). When the module
// or a function is missing, the operation fails cleanly: a status operation
// answers kErrFunctionNotAvailable, a query answers its empty value, and a
// line naming the function goes to the console (stderr, or the host's console
// when its logging function is there) once per function.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "config/nnotes/c_api.h"
#include "config/notes_api.h"

namespace quillet {

class NnotesBinding final : public NotesApi {
 public:
  // Looks functions up in the module of this name ("nnotes" in a Notes process).
  explicit NnotesBinding(std::u16string moduleName = u"nnotes");

  // The address of the named export, or null (then the console line is written).
  void* Resolve(const char* name);

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

  STATUS Translate(uint16_t mode, std::span<const uint8_t> in, std::vector<uint8_t>& out) override;
  int Compare(std::string_view a, std::string_view b, uint16_t option) override;
  bool StatusText(STATUS status, std::string& text) override;
  std::string NetworkPath(std::string_view server, std::string_view file) override;

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

  STATUS ItemFind(NoteHandle note, std::string_view name, ItemInfo& info) override;
  STATUS ItemFindNext(NoteHandle note, ItemId previous, ItemInfo& info) override;
  STATUS ItemQuery(NoteHandle note, ItemId item, ItemInfo& info) override;
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
  STATUS StructureConvert(uint16_t code, StructureForm from, std::span<const uint8_t> in, std::span<uint8_t> out,
                          StructureSizes& sizes) override;
  STATUS EnumerateCompositeRecords(std::span<const uint8_t> value, const CompositeRecordCallback& callback) override;
  STATUS ItemAsText(NoteHandle note, std::string_view name, std::string& text, char separator,
                    uint16_t bufferSize) override;
  STATUS AttachFile(NoteHandle note, std::string_view filePath, std::string_view attachmentName) override;
  STATUS ExtractFile(NoteHandle note, ItemId attachment, std::string_view filePath) override;

  STATUS QueueCreate(std::string_view name, uint16_t quota) override;
  STATUS QueueOpen(std::string_view name, QueueHandle& queue) override;
  STATUS QueueClose(QueueHandle queue) override;
  STATUS QueuePut(QueueHandle queue, std::span<const uint8_t> message) override;
  STATUS QueueScan(QueueHandle queue, uint16_t bufferSize, const QueueScanCallback& callback) override;

 private:
  template <typename Fn>
  Fn Find(const char* name) {
    return reinterpret_cast<Fn>(Resolve(name));
  }
  // What NSFItemQuery tells of an item.
  struct ItemHeader {
    std::string name;
    nnotes::WORD flags = 0;
    nnotes::WORD type = 0;
    nnotes::BLOCKID value{};
    nnotes::DWORD valueLength = 0;
  };
  STATUS QueryHeader(NoteHandle note, const nnotes::BLOCKID& item, ItemHeader& header);
  // Reads an item's name, flags, type and value (type word first).
  STATUS QueryItem(NoteHandle note, const nnotes::BLOCKID& item, ItemInfo& info);
  // Makes `view` hold the item's value in place, its pool locked.
  STATUS ViewItem(NoteHandle note, const nnotes::BLOCKID& item, ItemValueView& view);
  // The first instance of `name`; the instance of the same name after `previous`.
  STATUS FindFirst(NoteHandle note, std::string_view name, nnotes::BLOCKID& item);
  STATUS FindAfter(NoteHandle note, const nnotes::BLOCKID& previous, nnotes::BLOCKID& item);

  std::u16string moduleName_;
  std::mutex mutex_;
  std::unordered_map<std::string, void*> resolved_;
  std::set<std::string> reported_;
};

}  // namespace quillet
