// The Notes API seam: every host operation the system calls, as one interface.
// Inside Notes it forwards to nnotes; on Linux the simulated host implements it.
// Every operation returns a 16-bit host status (0 = success) unless it names a
// result. Text is in the host character set (LMBCS; UTF-8 in the simulator).
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/status.h"

namespace quillet {

// Host handles are small value types; 0 is never a valid handle.
template <typename Tag>
struct HostHandle {
  uint32_t value = 0;
  constexpr bool valid() const { return value != 0; }
  constexpr explicit operator bool() const { return valid(); }
  friend constexpr auto operator<=>(HostHandle, HostHandle) = default;
};
using DbHandle = HostHandle<struct DbTag>;
using NoteHandle = HostHandle<struct NoteTag>;
using TableHandle = HostHandle<struct TableTag>;
using QueueHandle = HostHandle<struct QueueTag>;

using NoteId = uint32_t;
inline constexpr NoteId kNoteIdDeletedBit = 0x80000000u;  // set in ID tables for deleted notes

// The host's 8-byte time value; also the 8-byte database identity.
struct TimeDate {
  uint32_t innards[2] = {0, 0};
  friend constexpr bool operator==(const TimeDate&, const TimeDate&) = default;
  // Chronological: innards[1] (the date) is the more significant word.
  friend constexpr std::strong_ordering operator<=>(const TimeDate& a, const TimeDate& b) {
    if (a.innards[1] != b.innards[1]) return a.innards[1] <=> b.innards[1];
    return a.innards[0] <=> b.innards[0];
  }
  uint64_t AsU64() const { return (static_cast<uint64_t>(innards[1]) << 32) | innards[0]; }
  static TimeDate FromU64(uint64_t v) {
    return TimeDate{{static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)}};
  }
};

// A note's universal ID: 16 bytes (two host times: file, note).
struct Unid {
  uint8_t bytes[16] = {};
  friend constexpr auto operator<=>(const Unid&, const Unid&) = default;
};

// Originator identity of a note: universal ID, sequence number and time.
struct OriginatorId {
  Unid unid;
  uint32_t sequence = 0;
  TimeDate sequenceTime;
};

// One stored item instance. The host's block identifier: note and item.
struct ItemId {
  uint32_t note = 0;
  uint32_t item = 0;
  constexpr bool valid() const { return item != 0; }
  friend constexpr auto operator<=>(ItemId, ItemId) = default;
};

// Item flags as stored.
inline constexpr uint16_t kItemSigned = 0x0001;
inline constexpr uint16_t kItemSealed = 0x0002;
inline constexpr uint16_t kItemSummary = 0x0004;
inline constexpr uint16_t kItemReadWriters = 0x0020;
inline constexpr uint16_t kItemNames = 0x0040;
inline constexpr uint16_t kItemPlaceholder = 0x0100;
inline constexpr uint16_t kItemProtected = 0x0200;
inline constexpr uint16_t kItemReaders = 0x0400;

// Item data-type words.
inline constexpr uint16_t kTypeCompositeData = 0x0001;
inline constexpr uint16_t kTypeObject = 0x0003;  // "$FILE" attachments
inline constexpr uint16_t kTypeLsObject = 0x0014;
inline constexpr uint16_t kTypeText = 0x0500;
inline constexpr uint16_t kTypeTextList = 0x0501;
inline constexpr uint16_t kTypeNumber = 0x0300;
inline constexpr uint16_t kTypeTime = 0x0400;

// Note classes.
inline constexpr uint16_t kNoteClassDocument = 0x0001;
inline constexpr uint16_t kNoteClassInfo = 0x0002;
inline constexpr uint16_t kNoteClassForm = 0x0004;
inline constexpr uint16_t kNoteClassView = 0x0008;
inline constexpr uint16_t kNoteClassIcon = 0x0010;
inline constexpr uint16_t kNoteClassDesign = 0x0020;
inline constexpr uint16_t kNoteClassAcl = 0x0040;
inline constexpr uint16_t kNoteClassHelpIndex = 0x0080;
inline constexpr uint16_t kNoteClassHelp = 0x0100;
inline constexpr uint16_t kNoteClassFilter = 0x0200;
inline constexpr uint16_t kNoteClassField = 0x0400;
inline constexpr uint16_t kNoteClassReplFormula = 0x0800;
inline constexpr uint16_t kNoteClassPrivate = 0x1000;
inline constexpr uint16_t kNoteClassAllNonData = 0x7FFE;

inline constexpr uint16_t kReplFlagDesignHidden = 0x0020;
inline constexpr uint16_t kSpecialNoteIcon = 0x8010;  // special-note index: the icon note

// Text translation modes.
inline constexpr uint16_t kTranslateNativeToHost = 0;
inline constexpr uint16_t kTranslateUpper = 3;
inline constexpr uint16_t kTranslateHostToUnicode = 20;  // output UTF-16LE bytes
inline constexpr uint16_t kTranslateUnicodeToHost = 23;  // input UTF-16LE bytes
inline constexpr uint16_t kTranslateUtf8ToHost = 24;

// Text comparison options.
inline constexpr uint16_t kCompareExact = 0;
inline constexpr uint16_t kCompareNoCase = 3;

// What an item query returns. `value` holds the stored value as the host
// keeps it: the 16-bit type word first, then the data.
struct ItemInfo {
  ItemId item;
  std::string name;
  uint16_t flags = 0;
  uint16_t type = 0;
  std::vector<uint8_t> value;
};

class NotesApi;

// A stored item value read in place, without a copy: the host's own bytes
// (the 16-bit type word first), kept locked in its memory until the view is
// released (Release, a new read into it, or its destruction). The note must
// not change while a view of it is held: the host may move or free its
// values then (the simulated host refuses such a change). Move-only.
class ItemValueView {
 public:
  ItemValueView() = default;
  ~ItemValueView() { Release(); }
  ItemValueView(ItemValueView&& other) noexcept { *this = std::move(other); }
  ItemValueView& operator=(ItemValueView&& other) noexcept;
  ItemValueView(const ItemValueView&) = delete;
  ItemValueView& operator=(const ItemValueView&) = delete;

  bool held() const { return host_ != nullptr; }
  ItemId item() const { return item_; }
  uint16_t flags() const { return flags_; }
  uint16_t type() const { return type_; }
  std::span<const uint8_t> value() const { return value_; }

  // Gives the lock back to the host; nothing when none is held.
  void Release();
  // For hosts: the view now holds `lock`, given back through
  // NotesApi::ItemViewRelease. Releases what it held before.
  void Hold(NotesApi& host, uint32_t lock, ItemId item, uint16_t flags, uint16_t type,
            std::span<const uint8_t> value);

 private:
  NotesApi* host_ = nullptr;
  uint32_t lock_ = 0;
  ItemId item_;
  uint16_t flags_ = 0;
  uint16_t type_ = 0;
  std::span<const uint8_t> value_;
};

// Callbacks. Returning a non-zero status from a scan callback stops the scan
// with that status, except for queue scans (see QueueScan).
using ItemScanCallback = std::function<STATUS(const ItemInfo& item)>;
using QueueScanCallback = std::function<STATUS(std::span<const uint8_t> message)>;
using CompositeRecordCallback = std::function<STATUS(uint16_t signature, std::span<const uint8_t> record)>;

// Fixed structures are known by a 16-bit structure code; codes up to
// kLastNotesStructureCode are Notes-defined, higher ones the library's own.
// A structure has two forms, as stored in notes and as the host's C
// structure, each with its size.
inline constexpr uint16_t kLastNotesStructureCode = 471;
enum class StructureForm : uint8_t { OnDisk, Host };
struct StructureSizes {
  uint16_t onDisk = 0;
  uint16_t host = 0;
};

// Host functions remove their own arguments on 32-bit Windows (stdcall);
// elsewhere there is one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define QUILLET_LNPUBLIC __stdcall
#else
#define QUILLET_LNPUBLIC
#endif

// The run-time-resolved host functions (looked up by name in "nnotes"); C
// functions, so they answer the bare status word.
extern "C" {
using NSFNoteExpandFn = StatusWord(QUILLET_LNPUBLIC*)(uint32_t note);
using SECAttachToIDFn = StatusWord(QUILLET_LNPUBLIC*)(const char* idFile, const char* password, uint32_t* context);
using SECReattachToRootIDFn = StatusWord(QUILLET_LNPUBLIC*)(uint32_t context);
using SECKFMSwitchToIDFileFn = StatusWord(QUILLET_LNPUBLIC*)(const char* idFile, const char* password, char* userName,
                                                        uint16_t userNameSize, uint32_t reserved, void* reserved2);
using REGSwitchToIDFn = StatusWord(QUILLET_LNPUBLIC*)(uint32_t reserved, uint16_t* out1, uint16_t* out2,
                                                 const char* idFile, const char* password, uint32_t reserved2);
}

// The notes.ini variable naming the kind of installation, and its value for
// a server installation.
inline constexpr std::string_view kKitTypeVariable = "KitType";
inline constexpr int32_t kServerKit = 2;
// The process query the system asks: does the process run as a server (no
// user at the desktop to answer a message box)?
inline constexpr uint16_t kProcessQueryServer = 3;

class NotesApi {
 public:
  virtual ~NotesApi() = default;

  // --- Process --------------------------------------------------------------
  // An environment (notes.ini) variable; false when absent. At most 255 bytes.
  virtual bool EnvironmentString(std::string_view name, std::string& value) = 0;
  // The variable's leading integer; 0 when absent or not a number.
  virtual int32_t EnvironmentInt(std::string_view name) = 0;
  virtual void SetEnvironmentString(std::string_view name, std::string_view value) = 0;
  virtual std::string DataDirectory() = 0;
  virtual void ConsoleLine(std::string_view text) = 0;
  virtual STATUS ThreadInit() = 0;
  virtual void ThreadTerm() = 0;
  virtual std::string CurrentUserName() = 0;  // at most 256 bytes
  virtual TimeDate CurrentTime() = 0;
  virtual TimeDate MinimumTime() = 0;
  // Whether the process answers host query `what` (kProcessQueryServer).
  virtual bool ProcessQuery(uint16_t what) = 0;

  // --- Text -----------------------------------------------------------------
  // Translates `in` by `mode` into `out`. UTF-16 is carried as UTF-16LE bytes.
  virtual STATUS Translate(uint16_t mode, std::span<const uint8_t> in, std::vector<uint8_t>& out) = 0;
  // 0 when equal under `option`, else negative or positive.
  virtual int Compare(std::string_view a, std::string_view b, uint16_t option) = 0;
  // The host's text for a status; false when it has none.
  virtual bool StatusText(STATUS status, std::string& text) = 0;
  virtual std::string NetworkPath(std::string_view server, std::string_view file) = 0;

  // --- Databases ------------------------------------------------------------
  virtual STATUS DbOpen(std::string_view path, DbHandle& db) = 0;  // 0x103 when absent
  // Opens only when a note changed after `since`: 572 otherwise (no handle).
  // `modified` receives the time up to which changes are now known.
  virtual STATUS DbOpenModifiedSince(std::string_view path, const TimeDate& since, DbHandle& db,
                                     TimeDate& modified) = 0;
  virtual STATUS DbClose(DbHandle db) = 0;
  virtual STATUS DbCanonicalPath(DbHandle db, std::string& path) = 0;
  virtual STATUS DbReplicationFlags(DbHandle db, uint16_t& flags) = 0;
  // IDs of notes of `noteClass` modified after `since`; deleted notes carry bit 31.
  virtual STATUS DbModifiedNoteTable(DbHandle db, uint16_t noteClass, const TimeDate& since,
                                     TableHandle& table, TimeDate& until) = 0;
  // Creates `target` from `source`, copying notes of `noteClasses`.
  virtual STATUS DbCreateAndCopy(std::string_view source, std::string_view target, uint16_t noteClasses,
                                 uint16_t limit, uint32_t options, DbHandle& db) = 0;
  // The information text: title, then "\n"-separated further parts.
  virtual STATUS DbInfoRead(DbHandle db, std::string& info) = 0;
  virtual STATUS DbInfoWrite(DbHandle db, std::string_view info) = 0;
  virtual std::string DbInfoTitle(std::string_view info) = 0;
  virtual std::string DbInfoWithTitle(std::string_view info, std::string_view title) = 0;
  virtual STATUS DbCopyAcl(DbHandle source, DbHandle target, uint16_t defaultLevel) = 0;
  virtual STATUS DbSpecialNoteId(DbHandle db, uint16_t index, NoteId& id) = 0;
  virtual STATUS DbIdentity(DbHandle db, TimeDate& id) = 0;
  virtual STATUS DbNoteByUnid(DbHandle db, const Unid& unid, NoteId& id, uint16_t& noteClass) = 0;

  // --- ID tables ------------------------------------------------------------
  // First/next entry; false at the end.
  virtual bool TableScan(TableHandle table, bool first, NoteId& id) = 0;
  virtual STATUS TableDestroy(TableHandle table) = 0;

  // --- Notes ----------------------------------------------------------------
  virtual STATUS NoteOpen(DbHandle db, NoteId id, uint16_t flags, NoteHandle& note) = 0;
  virtual STATUS NoteCreate(DbHandle db, NoteHandle& note) = 0;
  virtual STATUS NoteCopy(NoteHandle source, NoteHandle& copy) = 0;  // in memory, no ID
  virtual STATUS NoteUpdate(NoteHandle note, uint16_t flags) = 0;
  virtual STATUS NoteClose(NoteHandle note) = 0;
  virtual DbHandle NoteDatabase(NoteHandle note) = 0;
  virtual NoteId NoteGetId(NoteHandle note) = 0;
  virtual OriginatorId NoteOriginator(NoteHandle note) = 0;
  virtual uint16_t NoteClass(NoteHandle note) = 0;
  virtual void NoteSetClass(NoteHandle note, uint16_t noteClass) = 0;
  virtual bool NoteIsSigned(NoteHandle note, bool& sealed) = 0;
  virtual STATUS NoteRemoveSignature(NoteHandle note) = 0;
  virtual STATUS NoteSign(NoteHandle note) = 0;  // with the current ID
  virtual STATUS NoteContract(NoteHandle note) = 0;
  virtual STATUS NoteSigner(NoteHandle note, std::string& signer, std::string& certifier) = 0;

  // --- Items ----------------------------------------------------------------
  // The first instance of `name`; 0x222 when absent.
  virtual STATUS ItemFind(NoteHandle note, std::string_view name, ItemInfo& info) = 0;
  // The instance of the same name after `previous`; 0x222 when none.
  virtual STATUS ItemFindNext(NoteHandle note, ItemId previous, ItemInfo& info) = 0;
  virtual STATUS ItemQuery(NoteHandle note, ItemId item, ItemInfo& info) = 0;
  // As ItemFind and ItemFindNext, the value read in place (see
  // ItemValueView); `view` gives up what it held first, and holds nothing
  // on failure.
  virtual STATUS ItemFindView(NoteHandle note, std::string_view name, ItemValueView& view) = 0;
  virtual STATUS ItemFindNextView(NoteHandle note, ItemId previous, ItemValueView& view) = 0;
  // Gives back a view's lock; called by the view only.
  virtual void ItemViewRelease(uint32_t lock) = 0;
  // Text of the first instance (first entry of a text list), cut to
  // `bufferSize - 1` bytes; returns the length, 0 when absent.
  virtual uint16_t ItemText(NoteHandle note, std::string_view name, std::string& text, uint16_t bufferSize) = 0;
  virtual bool ItemNumber(NoteHandle note, std::string_view name, double& value) = 0;
  virtual bool ItemTime(NoteHandle note, std::string_view name, TimeDate& value) = 0;
  virtual uint16_t ItemTextListCount(NoteHandle note, std::string_view name) = 0;
  virtual uint16_t ItemTextListEntry(NoteHandle note, std::string_view name, uint16_t index, std::string& text,
                                     uint16_t bufferSize) = 0;
  // Replace every instance of `name` with one new item (summary flag set).
  virtual STATUS ItemSetText(NoteHandle note, std::string_view name, std::string_view text) = 0;
  virtual STATUS ItemSetNumber(NoteHandle note, std::string_view name, double value) = 0;
  virtual STATUS ItemSetTime(NoteHandle note, std::string_view name, const TimeDate& value) = 0;
  // Appends a new instance; `value` excludes the type word.
  virtual STATUS ItemAppend(NoteHandle note, uint16_t flags, std::string_view name, uint16_t type,
                            std::span<const uint8_t> value) = 0;
  virtual STATUS ItemDelete(NoteHandle note, std::string_view name) = 0;  // first instance
  virtual STATUS ItemDeleteById(NoteHandle note, ItemId item) = 0;
  virtual STATUS ItemCopy(NoteHandle target, NoteHandle source, ItemId item) = 0;
  virtual STATUS ItemScan(NoteHandle note, const ItemScanCallback& callback) = 0;
  // Renders the item as text, list entries joined by `separator`.
  virtual STATUS ItemAsText(NoteHandle note, std::string_view name, std::string& text, char separator,
                            uint16_t bufferSize) = 0;
  // Attaches a file as a "$FILE" item (no compression).
  virtual STATUS AttachFile(NoteHandle note, std::string_view filePath, std::string_view attachmentName) = 0;
  virtual STATUS ExtractFile(NoteHandle note, ItemId attachment, std::string_view filePath) = 0;

  // --- Composite data -------------------------------------------------------
  // Notes-defined fixed structures (up to kLastNotesStructureCode). `sizes`
  // receives the structure's on-disk and host sizes. When `out` is not empty,
  // the structure at the start of `in`, held in form `from`, is written to the
  // start of `out` in the other form; with `out` empty only the sizes are
  // given. kErrUnknownStructure for a code the host does not define,
  // kErrBufferTooSmall when `in` or `out` is shorter than the structure.
  virtual STATUS StructureConvert(uint16_t code, StructureForm from, std::span<const uint8_t> in,
                                  std::span<uint8_t> out, StructureSizes& sizes) = 0;
  // Hands each composite-data record of `value` (its type word first, which
  // must be kTypeCompositeData) to the callback in stored order: its
  // signature (the whole word for a 16-bit or 32-bit length, the low byte
  // for a length held in the signature's high byte) and its bytes within
  // `value`, header included, padding excluded. Records start on even offsets. A non-zero
  // callback result stops the walk and is returned. kErrBadCompositeRecord
  // for another type word, or a record whose header or length does not fit
  // the value; records before it have been handed over.
  virtual STATUS EnumerateCompositeRecords(std::span<const uint8_t> value,
                                           const CompositeRecordCallback& callback) = 0;

  // --- Message queues -------------------------------------------------------
  virtual STATUS QueueCreate(std::string_view name, uint16_t quota) = 0;  // fails when it exists
  virtual STATUS QueueOpen(std::string_view name, QueueHandle& queue) = 0;
  virtual STATUS QueueClose(QueueHandle queue) = 0;
  virtual STATUS QueuePut(QueueHandle queue, std::span<const uint8_t> message) = 0;
  // Hands each waiting message (at most `bufferSize` bytes) to the callback in
  // order. A callback result of 1131 removes that message and goes on; any
  // other non-zero result stops the scan and is returned.
  virtual STATUS QueueScan(QueueHandle queue, uint16_t bufferSize, const QueueScanCallback& callback) = 0;
};

// The process-wide instance, installed before MainEntryPoint runs.
NotesApi& Notes();
NotesApi* InstalledNotes();
void InstallNotes(NotesApi* api);  // not owned; null uninstalls

}  // namespace quillet
