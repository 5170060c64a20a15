// The binding's note, item and message-queue operations.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "config/nnotes/nnotes_binding.h"
#include "config/nnotes/host_values.h"
#include "util/ascii.h"
#include "util/bytes.h"

namespace quillet {

using namespace nnotes;

namespace {

BLOCKID ToBlock(ItemId item) { return BLOCKID{item.note, static_cast<WORD>(item.item)}; }
ItemId FromBlock(const BLOCKID& block) { return ItemId{block.pool, block.block}; }

bool FitsWord(size_t size) { return size <= 0xFFFF; }

// A text result of at most `bufferSize - 1` bytes, as the host wrote it.
uint16_t TakeText(const std::vector<char>& buffer, WORD length, std::string& text) {
  const size_t kept = std::min<size_t>(length, buffer.empty() ? 0 : buffer.size() - 1);
  text.assign(buffer.data(), kept);
  return static_cast<uint16_t>(kept);
}

void StoreTime(uint8_t* at, const TIMEDATE& time) {
  StoreU32(at, time.innards[0]);
  StoreU32(at + 4, time.innards[1]);
}

}  // namespace

// --- Notes ------------------------------------------------------------------

STATUS NnotesBinding::NoteOpen(DbHandle db, NoteId id, uint16_t flags, NoteHandle& note) {
  auto open = Find<NSFNoteOpenFn>("NSFNoteOpen");
  if (open == nullptr) return kErrFunctionNotAvailable;
  DHANDLE handle = 0;
  const STATUS status = open(db.value, id, flags, &handle);
  if (status == kNoError) note = NoteHandle{handle};
  return status;
}

STATUS NnotesBinding::NoteCreate(DbHandle db, NoteHandle& note) {
  auto create = Find<NSFNoteCreateFn>("NSFNoteCreate");
  if (create == nullptr) return kErrFunctionNotAvailable;
  DHANDLE handle = 0;
  const STATUS status = create(db.value, &handle);
  if (status == kNoError) note = NoteHandle{handle};
  return status;
}

STATUS NnotesBinding::NoteCopy(NoteHandle source, NoteHandle& copy) {
  auto copyNote = Find<NSFNoteCopyFn>("NSFNoteCopy");
  if (copyNote == nullptr) return kErrFunctionNotAvailable;
  DHANDLE handle = 0;
  const STATUS status = copyNote(source.value, &handle);
  if (status == kNoError) copy = NoteHandle{handle};
  return status;
}

STATUS NnotesBinding::NoteUpdate(NoteHandle note, uint16_t flags) {
  auto update = Find<NSFNoteUpdateFn>("NSFNoteUpdate");
  return update == nullptr ? kErrFunctionNotAvailable : STATUS(update(note.value, flags));
}

STATUS NnotesBinding::NoteClose(NoteHandle note) {
  auto close = Find<NSFNoteCloseFn>("NSFNoteClose");
  return close == nullptr ? kErrFunctionNotAvailable : STATUS(close(note.value));
}

DbHandle NnotesBinding::NoteDatabase(NoteHandle note) {
  DHANDLE db = 0;
  if (auto get = Find<NSFNoteGetInfoFn>("NSFNoteGetInfo")) get(note.value, kNoteInfoDb, &db);
  return DbHandle{db};
}

NoteId NnotesBinding::NoteGetId(NoteHandle note) {
  NOTEID id = 0;
  if (auto get = Find<NSFNoteGetInfoFn>("NSFNoteGetInfo")) get(note.value, kNoteInfoId, &id);
  return id;
}

// The universal ID is the originator's file and note times, little-endian.
OriginatorId NnotesBinding::NoteOriginator(NoteHandle note) {
  ORIGINATORID oid{};
  if (auto get = Find<NSFNoteGetInfoFn>("NSFNoteGetInfo")) get(note.value, kNoteInfoOid, &oid);
  OriginatorId result;
  StoreTime(result.unid.bytes, oid.file);
  StoreTime(result.unid.bytes + 8, oid.note);
  result.sequence = oid.sequence;
  result.sequenceTime = FromHost(oid.sequenceTime);
  return result;
}

uint16_t NnotesBinding::NoteClass(NoteHandle note) {
  WORD noteClass = 0;
  if (auto get = Find<NSFNoteGetInfoFn>("NSFNoteGetInfo")) get(note.value, kNoteInfoClass, &noteClass);
  return noteClass;
}

void NnotesBinding::NoteSetClass(NoteHandle note, uint16_t noteClass) {
  WORD value = noteClass;
  if (auto set = Find<NSFNoteSetInfoFn>("NSFNoteSetInfo")) set(note.value, kNoteInfoClass, &value);
}

bool NnotesBinding::NoteIsSigned(NoteHandle note, bool& sealed) {
  auto query = Find<NSFNoteIsSignedOrSealedFn>("NSFNoteIsSignedOrSealed");
  if (query == nullptr) return false;
  BOOL isSigned = 0;
  BOOL isSealed = 0;
  query(note.value, &isSigned, &isSealed);
  sealed = isSealed != 0;
  return isSigned != 0;
}

STATUS NnotesBinding::NoteRemoveSignature(NoteHandle note) {
  auto unsign = Find<NSFNoteUnsignFn>("NSFNoteUnsign");
  return unsign == nullptr ? kErrFunctionNotAvailable : STATUS(unsign(note.value));
}

STATUS NnotesBinding::NoteSign(NoteHandle note) {
  auto sign = Find<NSFNoteSignFn>("NSFNoteSign");
  return sign == nullptr ? kErrFunctionNotAvailable : STATUS(sign(note.value));
}

STATUS NnotesBinding::NoteContract(NoteHandle note) {
  auto contract = Find<NSFNoteContractFn>("NSFNoteContract");
  return contract == nullptr ? kErrFunctionNotAvailable : STATUS(contract(note.value));
}

STATUS NnotesBinding::NoteSigner(NoteHandle note, std::string& signer, std::string& certifier) {
  auto verify = Find<NSFNoteVerifySignatureFn>("NSFNoteVerifySignature");
  if (verify == nullptr) return kErrFunctionNotAvailable;
  char signerBuffer[kMaxUserName + 1] = {};
  char certifierBuffer[kMaxUserName + 1] = {};
  TIMEDATE when{};
  const STATUS status = verify(note.value, nullptr, &when, signerBuffer, certifierBuffer);
  if (status == kNoError) {
    signer.assign(signerBuffer, strnlen(signerBuffer, sizeof signerBuffer));
    certifier.assign(certifierBuffer, strnlen(certifierBuffer, sizeof certifierBuffer));
  }
  return status;
}

// --- Items ------------------------------------------------------------------

// The value block holds the type word and the data, `valueLength` bytes in all.
STATUS NnotesBinding::QueryHeader(NoteHandle note, const BLOCKID& item, ItemHeader& header) {
  auto query = Find<NSFItemQueryFn>("NSFItemQuery");
  if (query == nullptr) return kErrFunctionNotAvailable;
  char name[kMaxPath] = {};
  WORD nameLength = 0;
  query(note.value, item, name, sizeof name, &nameLength, &header.flags, &header.type, &header.value,
        &header.valueLength);
  header.name.assign(name, std::min<size_t>(nameLength, sizeof name));
  return kNoError;
}

STATUS NnotesBinding::QueryItem(NoteHandle note, const BLOCKID& item, ItemInfo& info) {
  auto lock = Find<OSLockObjectFn>("OSLockObject");
  auto unlock = Find<OSUnlockObjectFn>("OSUnlockObject");
  if (lock == nullptr || unlock == nullptr) return kErrFunctionNotAvailable;
  ItemHeader header;
  if (const STATUS status = QueryHeader(note, item, header); status != kNoError) return status;
  info.item = FromBlock(item);
  info.name = std::move(header.name);
  info.flags = header.flags;
  info.type = header.type;
  info.value.clear();
  if (header.value.pool != 0 && header.valueLength > 0) {
    const auto* pool = static_cast<const uint8_t*>(lock(header.value.pool));
    if (pool == nullptr) return kErrInvalidHandle;
    const uint8_t* at = pool + header.value.block;
    info.value.assign(at, at + header.valueLength);
    unlock(header.value.pool);
  }
  return kNoError;
}

// The view keeps the value's pool locked: its lock is the pool's handle (0
// for an item without a value block, which holds nothing).
STATUS NnotesBinding::ViewItem(NoteHandle note, const BLOCKID& item, ItemValueView& view) {
  auto lock = Find<OSLockObjectFn>("OSLockObject");
  if (lock == nullptr || Find<OSUnlockObjectFn>("OSUnlockObject") == nullptr) return kErrFunctionNotAvailable;
  ItemHeader header;
  if (const STATUS status = QueryHeader(note, item, header); status != kNoError) return status;
  if (header.value.pool == 0 || header.valueLength == 0) {
    view.Hold(*this, 0, FromBlock(item), header.flags, header.type, {});
    return kNoError;
  }
  const auto* pool = static_cast<const uint8_t*>(lock(header.value.pool));
  if (pool == nullptr) return kErrInvalidHandle;
  view.Hold(*this, header.value.pool, FromBlock(item), header.flags, header.type,
            std::span(pool + header.value.block, header.valueLength));
  return kNoError;
}

STATUS NnotesBinding::ItemFind(NoteHandle note, std::string_view name, ItemInfo& info) {
  BLOCKID item{};
  const STATUS status = FindFirst(note, name, item);
  return status == kNoError ? QueryItem(note, item, info) : status;
}

STATUS NnotesBinding::ItemFindNext(NoteHandle note, ItemId previous, ItemInfo& info) {
  BLOCKID item{};
  const STATUS status = FindAfter(note, ToBlock(previous), item);
  return status == kNoError ? QueryItem(note, item, info) : status;
}

STATUS NnotesBinding::ItemQuery(NoteHandle note, ItemId item, ItemInfo& info) {
  return QueryItem(note, ToBlock(item), info);
}

STATUS NnotesBinding::ItemFindView(NoteHandle note, std::string_view name, ItemValueView& view) {
  view.Release();
  BLOCKID item{};
  const STATUS status = FindFirst(note, name, item);
  return status == kNoError ? ViewItem(note, item, view) : status;
}

STATUS NnotesBinding::ItemFindNextView(NoteHandle note, ItemId previous, ItemValueView& view) {
  view.Release();
  BLOCKID item{};
  const STATUS status = FindAfter(note, ToBlock(previous), item);
  return status == kNoError ? ViewItem(note, item, view) : status;
}

void NnotesBinding::ItemViewRelease(uint32_t lock) {
  if (lock == 0) return;
  if (auto unlock = Find<OSUnlockObjectFn>("OSUnlockObject")) unlock(lock);
}

STATUS NnotesBinding::FindFirst(NoteHandle note, std::string_view name, BLOCKID& item) {
  auto find = Find<NSFItemInfoFn>("NSFItemInfo");
  if (find == nullptr) return kErrFunctionNotAvailable;
  if (!FitsWord(name.size())) return kErrInvalidArgument;
  BLOCKID value{};
  WORD type = 0;
  DWORD length = 0;
  return find(note.value, name.data(), static_cast<WORD>(name.size()), &item, &type, &value, &length);
}

// The host finds the next instance by name: the previous one's is read first.
STATUS NnotesBinding::FindAfter(NoteHandle note, const BLOCKID& previous, BLOCKID& item) {
  auto next = Find<NSFItemInfoNextFn>("NSFItemInfoNext");
  if (next == nullptr) return kErrFunctionNotAvailable;
  ItemHeader current;
  if (const STATUS status = QueryHeader(note, previous, current); status != kNoError) return status;
  BLOCKID value{};
  WORD type = 0;
  DWORD length = 0;
  return next(note.value, previous, current.name.data(), static_cast<WORD>(current.name.size()), &item, &type,
              &value, &length);
}

uint16_t NnotesBinding::ItemText(NoteHandle note, std::string_view name, std::string& text, uint16_t bufferSize) {
  auto get = Find<NSFItemGetTextFn>("NSFItemGetText");
  if (get == nullptr || bufferSize == 0) return 0;
  std::vector<char> buffer(bufferSize, '\0');
  return TakeText(buffer, get(note.value, Z(name).c_str(), buffer.data(), bufferSize), text);
}

bool NnotesBinding::ItemNumber(NoteHandle note, std::string_view name, double& value) {
  auto get = Find<NSFItemGetNumberFn>("NSFItemGetNumber");
  return get != nullptr && get(note.value, Z(name).c_str(), &value) != 0;
}

bool NnotesBinding::ItemTime(NoteHandle note, std::string_view name, TimeDate& value) {
  auto get = Find<NSFItemGetTimeFn>("NSFItemGetTime");
  if (get == nullptr) return false;
  TIMEDATE time{};
  if (get(note.value, Z(name).c_str(), &time) == 0) return false;
  value = FromHost(time);
  return true;
}

uint16_t NnotesBinding::ItemTextListCount(NoteHandle note, std::string_view name) {
  auto count = Find<NSFItemGetTextListEntriesFn>("NSFItemGetTextListEntries");
  return count == nullptr ? 0 : count(note.value, Z(name).c_str());
}

uint16_t NnotesBinding::ItemTextListEntry(NoteHandle note, std::string_view name, uint16_t index, std::string& text,
                                          uint16_t bufferSize) {
  auto get = Find<NSFItemGetTextListEntryFn>("NSFItemGetTextListEntry");
  if (get == nullptr || bufferSize == 0) return 0;
  std::vector<char> buffer(bufferSize, '\0');
  return TakeText(buffer, get(note.value, Z(name).c_str(), index, buffer.data(), bufferSize), text);
}

STATUS NnotesBinding::ItemSetText(NoteHandle note, std::string_view name, std::string_view text) {
  auto set = Find<NSFItemSetTextFn>("NSFItemSetText");
  if (set == nullptr) return kErrFunctionNotAvailable;
  if (!FitsWord(text.size())) return kErrInvalidArgument;
  return set(note.value, Z(name).c_str(), text.data(), static_cast<WORD>(text.size()));
}

STATUS NnotesBinding::ItemSetNumber(NoteHandle note, std::string_view name, double value) {
  auto set = Find<NSFItemSetNumberFn>("NSFItemSetNumber");
  return set == nullptr ? kErrFunctionNotAvailable : STATUS(set(note.value, Z(name).c_str(), &value));
}

STATUS NnotesBinding::ItemSetTime(NoteHandle note, std::string_view name, const TimeDate& value) {
  auto set = Find<NSFItemSetTimeFn>("NSFItemSetTime");
  if (set == nullptr) return kErrFunctionNotAvailable;
  TIMEDATE time = ToHost(value);
  return set(note.value, Z(name).c_str(), &time);
}

STATUS NnotesBinding::ItemAppend(NoteHandle note, uint16_t flags, std::string_view name, uint16_t type,
                                 std::span<const uint8_t> value) {
  auto append = Find<NSFItemAppendFn>("NSFItemAppend");
  if (append == nullptr) return kErrFunctionNotAvailable;
  if (!FitsWord(name.size()) || value.size() > 0xFFFFFFFFu) return kErrInvalidArgument;
  return append(note.value, flags, name.data(), static_cast<WORD>(name.size()), type, value.data(),
                static_cast<DWORD>(value.size()));
}

STATUS NnotesBinding::ItemDelete(NoteHandle note, std::string_view name) {
  auto remove = Find<NSFItemDeleteFn>("NSFItemDelete");
  if (remove == nullptr) return kErrFunctionNotAvailable;
  if (!FitsWord(name.size())) return kErrInvalidArgument;
  return remove(note.value, name.data(), static_cast<WORD>(name.size()));
}

STATUS NnotesBinding::ItemDeleteById(NoteHandle note, ItemId item) {
  auto remove = Find<NSFItemDeleteByBLOCKIDFn>("NSFItemDeleteByBLOCKID");
  return remove == nullptr ? kErrFunctionNotAvailable : STATUS(remove(note.value, ToBlock(item)));
}

// An item's block identifies it across notes: the host copies it from its
// own note into `target`.
STATUS NnotesBinding::ItemCopy(NoteHandle target, NoteHandle, ItemId item) {
  auto copy = Find<NSFItemCopyFn>("NSFItemCopy");
  return copy == nullptr ? kErrFunctionNotAvailable : STATUS(copy(target.value, ToBlock(item)));
}

namespace {

// The scan names no item block. Items of one name come in the note's order
// both from the scan and from NSFItemInfo/NSFItemInfoNext, so the k-th item
// of a name in the scan is the k-th block of that name's chain, which is
// looked up once per name. Without those functions `item` stays invalid.
struct ScanContext {
  const ItemScanCallback* callback;
  DHANDLE note;
  NSFItemInfoFn find;
  NSFItemInfoNextFn next;
  std::map<std::string, std::vector<BLOCKID>> chains;  // by upper-cased name
  std::map<std::string, size_t> seen;

  ItemId BlockOf(std::string_view name) {
    const std::string key = AsciiUpper(name);
    auto [chain, added] = chains.try_emplace(key);
    if (added && find != nullptr && next != nullptr) {
      BLOCKID item{};
      BLOCKID value{};
      WORD type = 0;
      DWORD length = 0;
      const WORD nameLength = static_cast<WORD>(name.size());
      StatusWord status = find(note, name.data(), nameLength, &item, &type, &value, &length);
      while (status == kNoError && chain->second.size() < kMaxItemsOfOneName) {
        chain->second.push_back(item);
        status = next(note, item, name.data(), nameLength, &item, &type, &value, &length);
      }
    }
    const size_t index = seen[key]++;
    return index < chain->second.size() ? FromBlock(chain->second[index]) : ItemId{};
  }
  // A note cannot hold more items than a word counts.
  static constexpr size_t kMaxItemsOfOneName = 0xFFFF;
};

// The host hands name, flags and value (type word first). Nothing may escape
// into the host.
StatusWord QUILLET_LNPUBLIC ItemScanTrampoline(WORD, WORD flags, char* name, WORD nameLength, void* value,
                                           DWORD valueLength, void* context) {
  try {
    auto& scan = *static_cast<ScanContext*>(context);
    ItemInfo info;
    info.name.assign(name, nameLength);
    info.flags = flags;
    const auto* bytes = static_cast<const uint8_t*>(value);
    if (bytes != nullptr && valueLength > 0) info.value.assign(bytes, bytes + valueLength);
    if (info.value.size() >= 2) info.type = LoadU16(info.value.data());
    info.item = scan.BlockOf(info.name);
    return (*scan.callback)(info);
  } catch (...) {
    return kErrInvalidArgument;
  }
}

struct QueueContext {
  const QueueScanCallback* callback;
};

StatusWord QUILLET_LNPUBLIC QueueScanTrampoline(const char* message, WORD length, WORD, void* context) {
  try {
    return (*static_cast<QueueContext*>(context)->callback)(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(message), length));
  } catch (...) {
    return kErrInvalidArgument;
  }
}

}  // namespace

STATUS NnotesBinding::ItemScan(NoteHandle note, const ItemScanCallback& callback) {
  auto scan = Find<NSFItemScanFn>("NSFItemScan");
  if (scan == nullptr) return kErrFunctionNotAvailable;
  ScanContext context{&callback, note.value, Find<NSFItemInfoFn>("NSFItemInfo"),
                      Find<NSFItemInfoNextFn>("NSFItemInfoNext"), {}, {}};
  return scan(note.value, &ItemScanTrampoline, &context);
}

STATUS NnotesBinding::ItemAsText(NoteHandle note, std::string_view name, std::string& text, char separator,
                                 uint16_t bufferSize) {
  auto convert = Find<NSFItemConvertToTextFn>("NSFItemConvertToText");
  if (convert == nullptr) return kErrFunctionNotAvailable;
  if (bufferSize == 0) return kErrBufferTooSmall;
  std::vector<char> buffer(bufferSize, '\0');
  TakeText(buffer, convert(note.value, Z(name).c_str(), buffer.data(), bufferSize, separator), text);
  return kNoError;
}

STATUS NnotesBinding::AttachFile(NoteHandle note, std::string_view filePath, std::string_view attachmentName) {
  auto attach = Find<NSFNoteAttachFileFn>("NSFNoteAttachFile");
  if (attach == nullptr) return kErrFunctionNotAvailable;
  static constexpr char kFileItem[] = "$FILE";
  return attach(note.value, kFileItem, sizeof kFileItem - 1, Z(filePath).c_str(), Z(attachmentName).c_str(),
                kAttachNoCompression);
}

STATUS NnotesBinding::ExtractFile(NoteHandle note, ItemId attachment, std::string_view filePath) {
  auto extract = Find<NSFNoteExtractFileFn>("NSFNoteExtractFile");
  return extract == nullptr ? kErrFunctionNotAvailable
                            : STATUS(extract(note.value, ToBlock(attachment), Z(filePath).c_str(), nullptr));
}

// --- Message queues ---------------------------------------------------------

STATUS NnotesBinding::QueueCreate(std::string_view name, uint16_t quota) {
  auto create = Find<MQCreateFn>("MQCreate");
  return create == nullptr ? kErrFunctionNotAvailable : STATUS(create(Z(name).c_str(), quota, 0));
}

STATUS NnotesBinding::QueueOpen(std::string_view name, QueueHandle& queue) {
  auto open = Find<MQOpenFn>("MQOpen");
  if (open == nullptr) return kErrFunctionNotAvailable;
  DHANDLE handle = 0;
  const STATUS status = open(Z(name).c_str(), 0, &handle);
  if (status == kNoError) queue = QueueHandle{handle};
  return status;
}

STATUS NnotesBinding::QueueClose(QueueHandle queue) {
  auto close = Find<MQCloseFn>("MQClose");
  return close == nullptr ? kErrFunctionNotAvailable : STATUS(close(queue.value, 0));
}

STATUS NnotesBinding::QueuePut(QueueHandle queue, std::span<const uint8_t> message) {
  auto put = Find<MQPutFn>("MQPut");
  if (put == nullptr) return kErrFunctionNotAvailable;
  if (!FitsWord(message.size())) return kErrInvalidArgument;
  return put(queue.value, 0, reinterpret_cast<const char*>(message.data()), static_cast<WORD>(message.size()), 0);
}

STATUS NnotesBinding::QueueScan(QueueHandle queue, uint16_t bufferSize, const QueueScanCallback& callback) {
  auto scan = Find<MQScanFn>("MQScan");
  if (scan == nullptr) return kErrFunctionNotAvailable;
  std::vector<char> buffer(std::max<size_t>(bufferSize, 1), '\0');
  QueueContext context{&callback};
  return scan(queue.value, buffer.data(), bufferSize, kMqWaitForMessage, &QueueScanTrampoline, &context);
}

}  // namespace quillet
