// The binding's look-up of nnotes functions, and the process, text, database
// and ID-table operations.
#include "config/nnotes/nnotes_binding.h"
#include "config/nnotes/host_values.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "util/bytes.h"

namespace quillet {

using namespace nnotes;

namespace {

// The text of a zero-terminated buffer of `size` bytes, never reading past it.
std::string FromBuffer(const char* buffer, size_t size) { return std::string(buffer, strnlen(buffer, size)); }

}  // namespace

NnotesBinding::NnotesBinding(std::u16string moduleName) : moduleName_(std::move(moduleName)) {}

// A found address is kept; a missing one is looked up again next time (the
// module may be loaded later) but reported only once.
void* NnotesBinding::Resolve(const char* name) {
  std::unique_lock guard(mutex_);
  if (auto found = resolved_.find(name); found != resolved_.end()) return found->second;
  const platform::ModuleHandle module = platform::GetModuleHandle(moduleName_);
  void* address = module == 0 ? nullptr : platform::GetProcAddress(module, name);
  if (address != nullptr) {
    resolved_.emplace(name, address);
    return address;
  }
  if (!reported_.insert(name).second) return nullptr;
  guard.unlock();
  const std::string moduleText = platform::Utf16ToUtf8(moduleName_);
  const std::string line = module == 0 ? "nquillet: " + moduleText + " is not loaded: " + name + " is not available"
                                       : "nquillet: " + moduleText + " has no function " + name;
  ConsoleLine(line);
  return nullptr;
}

// --- Process ----------------------------------------------------------------

bool NnotesBinding::EnvironmentString(std::string_view name, std::string& value) {
  auto get = Find<OSGetEnvironmentStringFn>("OSGetEnvironmentString");
  if (get == nullptr) return false;
  char buffer[kMaxEnvValue] = {};
  if (!get(Z(name).c_str(), buffer, kMaxEnvValue - 1)) return false;
  value = FromBuffer(buffer, sizeof buffer);
  return true;
}

int32_t NnotesBinding::EnvironmentInt(std::string_view name) {
  auto get = Find<OSGetEnvironmentLongFn>("OSGetEnvironmentLong");
  return get == nullptr ? 0 : static_cast<int32_t>(get(Z(name).c_str()));
}

void NnotesBinding::SetEnvironmentString(std::string_view name, std::string_view value) {
  if (auto set = Find<OSSetEnvironmentVariableFn>("OSSetEnvironmentVariable")) set(Z(name).c_str(), Z(value).c_str());
}

std::string NnotesBinding::DataDirectory() {
  auto get = Find<OSGetDataDirectoryFn>("OSGetDataDirectory");
  if (get == nullptr) return {};
  char buffer[kMaxPath + 1] = {};
  get(buffer);
  return FromBuffer(buffer, sizeof buffer);
}

// Not through Find: a missing logging function must not report itself.
void NnotesBinding::ConsoleLine(std::string_view text) {
  void* address = nullptr;
  {
    std::lock_guard guard(mutex_);
    if (auto found = resolved_.find("AddInLogMessageText"); found != resolved_.end()) address = found->second;
  }
  if (address == nullptr) {
    const platform::ModuleHandle module = platform::GetModuleHandle(moduleName_);
    address = module == 0 ? nullptr : platform::GetProcAddress(module, "AddInLogMessageText");
    if (address != nullptr) {
      std::lock_guard guard(mutex_);
      resolved_.emplace("AddInLogMessageText", address);
    }
  }
  const std::string line(text);
  if (address != nullptr) {
    reinterpret_cast<AddInLogMessageTextFn>(address)("%s", 0, line.c_str());
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

STATUS NnotesBinding::ThreadInit() {
  auto init = Find<NotesInitThreadFn>("NotesInitThread");
  return init == nullptr ? kErrFunctionNotAvailable : STATUS(init());
}

void NnotesBinding::ThreadTerm() {
  if (auto term = Find<NotesTermThreadFn>("NotesTermThread")) term();
}

std::string NnotesBinding::CurrentUserName() {
  auto get = Find<SECKFMGetUserNameFn>("SECKFMGetUserName");
  if (get == nullptr) return {};
  char buffer[kMaxUserName + 1] = {};
  if (get(buffer) != kNoError) return {};
  return FromBuffer(buffer, sizeof buffer);
}

TimeDate NnotesBinding::CurrentTime() {
  TIMEDATE now{};
  if (auto get = Find<OSCurrentTIMEDATEFn>("OSCurrentTIMEDATE")) get(&now);
  return FromHost(now);
}

TimeDate NnotesBinding::MinimumTime() {
  TIMEDATE minimum{};
  if (auto get = Find<TimeConstantFn>("TimeConstant")) get(kTimeDateMinimum, &minimum);
  return FromHost(minimum);
}

// The public C API has no call that says whether this process is a server.
// What it documents is the installation's kind in notes.ini ("KitType", read
// with OSGetEnvironmentLong): a server installation runs server processes
// only, where nobody sits at the desktop. Any other query answers "no".
bool NnotesBinding::ProcessQuery(uint16_t what) {
  return what == kProcessQueryServer && EnvironmentInt(kKitTypeVariable) == kServerKit;
}

// --- Text -------------------------------------------------------------------

STATUS NnotesBinding::Translate(uint16_t mode, std::span<const uint8_t> in, std::vector<uint8_t>& out) {
  auto translate = Find<OSTranslateFn>("OSTranslate");
  if (translate == nullptr) return kErrFunctionNotAvailable;
  if (in.size() > 0xFFFF) return kErrInvalidArgument;
  // One input byte becomes at most three output bytes (LMBCS <-> UTF-16/8).
  const size_t room = std::min<size_t>(0xFFFF, in.size() * 3 + 4);
  out.assign(room, 0);
  const WORD length = translate(mode, reinterpret_cast<const char*>(in.data()), static_cast<WORD>(in.size()),
                                reinterpret_cast<char*>(out.data()), static_cast<WORD>(room));
  out.resize(std::min<size_t>(length, room));
  return kNoError;
}

// Ignoring case compares the host's upper-case forms.
int NnotesBinding::Compare(std::string_view a, std::string_view b, uint16_t option) {
  if (option != kCompareNoCase) return a.compare(b);
  std::vector<uint8_t> upperA;
  std::vector<uint8_t> upperB;
  const auto bytes = [](std::string_view text) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  };
  if (Translate(kTranslateUpper, bytes(a), upperA) != kNoError ||
      Translate(kTranslateUpper, bytes(b), upperB) != kNoError) {
    return a.compare(b);
  }
  return std::string_view(reinterpret_cast<const char*>(upperA.data()), upperA.size())
      .compare(std::string_view(reinterpret_cast<const char*>(upperB.data()), upperB.size()));
}

bool NnotesBinding::StatusText(STATUS status, std::string& text) {
  auto load = Find<OSLoadStringFn>("OSLoadString");
  if (load == nullptr) return false;
  char buffer[kMaxPath] = {};
  const WORD length = load(nullptr, StatusCode(status), buffer, sizeof buffer);
  if (length == 0) return false;
  text = FromBuffer(buffer, std::min<size_t>(length, sizeof buffer));
  return true;
}

std::string NnotesBinding::NetworkPath(std::string_view server, std::string_view file) {
  auto construct = Find<OSPathNetConstructFn>("OSPathNetConstruct");
  if (construct == nullptr) return std::string(file);
  char buffer[kMaxPath + 1] = {};
  if (construct(nullptr, Z(server).c_str(), Z(file).c_str(), buffer) != kNoError) return std::string(file);
  return FromBuffer(buffer, sizeof buffer);
}

// --- Databases --------------------------------------------------------------

STATUS NnotesBinding::DbOpen(std::string_view path, DbHandle& db) {
  auto open = Find<NSFDbOpenFn>("NSFDbOpen");
  if (open == nullptr) return kErrFunctionNotAvailable;
  DHANDLE handle = 0;
  const STATUS status = open(Z(path).c_str(), &handle);
  if (status == kNoError) db = DbHandle{handle};
  return status;
}

// The host opens the database only when notes changed after `since`; the
// later of its data and non-data times is where the caller resumes.
STATUS NnotesBinding::DbOpenModifiedSince(std::string_view path, const TimeDate& since, DbHandle& db,
                                          TimeDate& modified) {
  auto open = Find<NSFDbOpenExtendedFn>("NSFDbOpenExtended");
  if (open == nullptr) return kErrFunctionNotAvailable;
  TIMEDATE from = ToHost(since);
  TIMEDATE data{};
  TIMEDATE nonData{};
  DHANDLE handle = 0;
  const STATUS status = open(Z(path).c_str(), 0, 0, &from, &handle, &data, &nonData);
  if (status == kNoError) db = DbHandle{handle};
  if (status == kNoError || StatusCode(status) == kErrNoModifiedNotes) {
    modified = std::max(FromHost(data), FromHost(nonData));
  }
  return status;
}

STATUS NnotesBinding::DbClose(DbHandle db) {
  auto close = Find<NSFDbCloseFn>("NSFDbClose");
  return close == nullptr ? kErrFunctionNotAvailable : STATUS(close(db.value));
}

STATUS NnotesBinding::DbCanonicalPath(DbHandle db, std::string& path) {
  auto get = Find<NSFDbPathGetFn>("NSFDbPathGet");
  if (get == nullptr) return kErrFunctionNotAvailable;
  char canonical[kMaxPath + 1] = {};
  char expanded[kMaxPath + 1] = {};
  const STATUS status = get(db.value, canonical, expanded);
  if (status == kNoError) path = FromBuffer(canonical, sizeof canonical);
  return status;
}

STATUS NnotesBinding::DbReplicationFlags(DbHandle db, uint16_t& flags) {
  auto get = Find<NSFDbReplicaInfoGetFn>("NSFDbReplicaInfoGet");
  if (get == nullptr) return kErrFunctionNotAvailable;
  DBREPLICAINFO info{};
  const STATUS status = get(db.value, &info);
  if (status == kNoError) flags = info.flags;
  return status;
}

STATUS NnotesBinding::DbModifiedNoteTable(DbHandle db, uint16_t noteClass, const TimeDate& since,
                                          TableHandle& table, TimeDate& until) {
  auto get = Find<NSFDbGetModifiedNoteTableFn>("NSFDbGetModifiedNoteTable");
  if (get == nullptr) return kErrFunctionNotAvailable;
  TIMEDATE end{};
  DHANDLE handle = 0;
  const STATUS status = get(db.value, noteClass, ToHost(since), &end, &handle);
  if (status == kNoError) {
    table = TableHandle{handle};
    until = FromHost(end);
  }
  return status;
}

STATUS NnotesBinding::DbCreateAndCopy(std::string_view source, std::string_view target, uint16_t noteClasses,
                                      uint16_t limit, uint32_t options, DbHandle& db) {
  auto create = Find<NSFDbCreateAndCopyFn>("NSFDbCreateAndCopy");
  if (create == nullptr) return kErrFunctionNotAvailable;
  DHANDLE handle = 0;
  const STATUS status = create(Z(source).c_str(), Z(target).c_str(), noteClasses, limit, options, &handle);
  if (status == kNoError) db = DbHandle{handle};
  return status;
}

STATUS NnotesBinding::DbInfoRead(DbHandle db, std::string& info) {
  auto get = Find<NSFDbInfoGetFn>("NSFDbInfoGet");
  if (get == nullptr) return kErrFunctionNotAvailable;
  char buffer[kDbInfoSize + 1] = {};
  const STATUS status = get(db.value, buffer);
  if (status == kNoError) info = FromBuffer(buffer, sizeof buffer);
  return status;
}

// The information buffer is fixed in size: longer text is refused, not cut.
STATUS NnotesBinding::DbInfoWrite(DbHandle db, std::string_view info) {
  auto set = Find<NSFDbInfoSetFn>("NSFDbInfoSet");
  if (set == nullptr) return kErrFunctionNotAvailable;
  if (info.size() >= kDbInfoSize) return kErrBufferTooSmall;
  char buffer[kDbInfoSize] = {};
  std::memcpy(buffer, info.data(), info.size());
  return set(db.value, buffer);
}

std::string NnotesBinding::DbInfoTitle(std::string_view info) {
  auto parse = Find<NSFDbInfoParseFn>("NSFDbInfoParse");
  if (parse == nullptr || info.size() >= kDbInfoSize) return {};
  char source[kDbInfoSize] = {};
  std::memcpy(source, info.data(), info.size());
  char title[kDbInfoSize] = {};
  parse(source, kInfoParseTitle, title, sizeof title - 1);
  return FromBuffer(title, sizeof title);
}

std::string NnotesBinding::DbInfoWithTitle(std::string_view info, std::string_view title) {
  auto modify = Find<NSFDbInfoModifyFn>("NSFDbInfoModify");
  if (modify == nullptr || info.size() >= kDbInfoSize || title.size() >= kDbInfoSize) return std::string(info);
  char buffer[kDbInfoSize] = {};
  std::memcpy(buffer, info.data(), info.size());
  modify(buffer, kInfoParseTitle, Z(title).c_str());
  return FromBuffer(buffer, sizeof buffer);
}

// The host copies the whole access control list; the default entry then
// gets the caller's level in the target's own list. Every function is found
// before anything is copied, so a missing one changes nothing.
STATUS NnotesBinding::DbCopyAcl(DbHandle source, DbHandle target, uint16_t defaultLevel) {
  auto copy = Find<NSFDbCopyACLFn>("NSFDbCopyACL");
  auto read = Find<NSFDbReadACLFn>("NSFDbReadACL");
  auto update = Find<ACLUpdateEntryFn>("ACLUpdateEntry");
  auto store = Find<NSFDbStoreACLFn>("NSFDbStoreACL");
  auto release = Find<OSMemFreeFn>("OSMemFree");
  if (copy == nullptr || read == nullptr || update == nullptr || store == nullptr || release == nullptr) {
    return kErrFunctionNotAvailable;
  }
  if (const STATUS status = copy(source.value, target.value); status != kNoError) return status;
  DHANDLE acl = 0;
  if (const STATUS status = read(target.value, &acl); status != kNoError) return status;
  ACL_PRIVILEGES unchanged{};
  STATUS status = update(acl, nullptr, kAclUpdateLevel, nullptr, defaultLevel, &unchanged, 0);
  if (status == kNoError) status = store(target.value, acl, 0, kAclStoreExisting);
  static_cast<void>(release(acl));
  return status;
}

STATUS NnotesBinding::DbSpecialNoteId(DbHandle db, uint16_t index, NoteId& id) {
  auto get = Find<NSFDbGetSpecialNoteIDFn>("NSFDbGetSpecialNoteID");
  return get == nullptr ? kErrFunctionNotAvailable : STATUS(get(db.value, index, &id));
}

STATUS NnotesBinding::DbIdentity(DbHandle db, TimeDate& id) {
  auto get = Find<NSFDbIDGetFn>("NSFDbIDGet");
  if (get == nullptr) return kErrFunctionNotAvailable;
  TIMEDATE value{};
  const STATUS status = get(db.value, &value);
  if (status == kNoError) id = FromHost(value);
  return status;
}

// A universal ID is two host times, file then note, each little-endian.
STATUS NnotesBinding::DbNoteByUnid(DbHandle db, const Unid& unid, NoteId& id, uint16_t& noteClass) {
  auto get = Find<NSFDbGetNoteInfoByUNIDFn>("NSFDbGetNoteInfoByUNID");
  if (get == nullptr) return kErrFunctionNotAvailable;
  UNID host{};
  host.file = TIMEDATE{{LoadU32(unid.bytes), LoadU32(unid.bytes + 4)}};
  host.note = TIMEDATE{{LoadU32(unid.bytes + 8), LoadU32(unid.bytes + 12)}};
  ORIGINATORID oid{};
  TIMEDATE modified{};
  WORD hostClass = 0;
  const STATUS status = get(db.value, &host, &id, &oid, &modified, &hostClass);
  if (status == kNoError) noteClass = hostClass;
  return status;
}

// --- ID tables --------------------------------------------------------------

bool NnotesBinding::TableScan(TableHandle table, bool first, NoteId& id) {
  auto scan = Find<IDScanFn>("IDScan");
  return scan != nullptr && scan(table.value, first ? 1 : 0, &id) != 0;
}

STATUS NnotesBinding::TableDestroy(TableHandle table) {
  auto destroy = Find<IDDestroyTableFn>("IDDestroyTable");
  return destroy == nullptr ? kErrFunctionNotAvailable : STATUS(destroy(table.value));
}

}  // namespace quillet
