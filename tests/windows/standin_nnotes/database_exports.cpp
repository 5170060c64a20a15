// The stand-in's database, access-list and ID-table functions.
#include <type_traits>

#include "standin_host.h"
#include "util/bytes.h"

namespace {

// The canonical path of an open database, for the host's by-path controls.
STATUS PathOf(sim::SimHost& host, DHANDLE db, std::string& path) { return host.DbCanonicalPath(DbHandle{db}, path); }

}  // namespace

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbOpen(const char* path, DHANDLE* db) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (path == nullptr || db == nullptr) return kErrInvalidArgument;
    DbHandle handle;
    const STATUS status = host.DbOpen(path, handle);
    if (status == kNoError) *db = handle.value;
    return status;
  });
}

// The host keeps one modification time: it answers both the data and the
// non-data time.
STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbOpenExtended(const char* path, WORD, DHANDLE, TIMEDATE* modifiedSince,
                                                             DHANDLE* db, TIMEDATE* dataModified,
                                                             TIMEDATE* nonDataModified) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (path == nullptr || db == nullptr) return kErrInvalidArgument;
    const TimeDate since = modifiedSince != nullptr ? FromHost(*modifiedSince) : TimeDate{};
    DbHandle handle;
    TimeDate modified;
    const STATUS status = host.DbOpenModifiedSince(path, since, handle, modified);
    if (status == kNoError) *db = handle.value;
    if (dataModified != nullptr) *dataModified = ToHost(modified);
    if (nonDataModified != nullptr) *nonDataModified = ToHost(modified);
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbClose(DHANDLE db) {
  return GuardedStatus([&](sim::SimHost& host) { return host.DbClose(DbHandle{db}); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbPathGet(DHANDLE db, char* canonical, char* expanded) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    std::string path;
    const STATUS status = PathOf(host, db, path);
    if (status != kNoError) return status;
    CopyOut(path, canonical, kMaxPath);
    CopyOut(host.DataDirectory() + "/" + path, expanded, kMaxPath);
    return kNoError;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbReplicaInfoGet(DHANDLE db, DBREPLICAINFO* info) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (info == nullptr) return kErrInvalidArgument;
    uint16_t flags = 0;
    const STATUS status = host.DbReplicationFlags(DbHandle{db}, flags);
    if (status == kNoError) *info = DBREPLICAINFO{{}, flags, 0, {}};
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbGetModifiedNoteTable(DHANDLE db, WORD noteClassMask, TIMEDATE since,
                                                                     TIMEDATE* until, DHANDLE* table) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (until == nullptr || table == nullptr) return kErrInvalidArgument;
    TableHandle handle;
    TimeDate end;
    const STATUS status = host.DbModifiedNoteTable(DbHandle{db}, noteClassMask, FromHost(since), handle, end);
    if (status == kNoError) {
      *table = handle.value;
      *until = ToHost(end);
    }
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbCreateAndCopy(const char* source, const char* target, WORD noteClass,
                                                              WORD limit, DWORD flags, DHANDLE* db) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (source == nullptr || target == nullptr || db == nullptr) return kErrInvalidArgument;
    DbHandle handle;
    const STATUS status = host.DbCreateAndCopy(source, target, noteClass, limit, flags, handle);
    if (status == kNoError) *db = handle.value;
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbInfoGet(DHANDLE db, char* info) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (info == nullptr) return kErrInvalidArgument;
    std::string text;
    const STATUS status = host.DbInfoRead(DbHandle{db}, text);
    if (status == kNoError) CopyOut(text, info, kDbInfoSize);
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbInfoSet(DHANDLE db, const char* info) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (info == nullptr) return kErrInvalidArgument;
    return host.DbInfoWrite(DbHandle{db}, std::string_view(info, strnlen(info, kDbInfoSize)));
  });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC NSFDbInfoParse(const char* info, WORD what, char* buffer, WORD length) {
  if (info == nullptr || buffer == nullptr || length == 0 || what != kInfoParseTitle) return;
  Guarded<int>(0, [&](sim::SimHost& host) {
    CopyOut(host.DbInfoTitle(std::string_view(info, strnlen(info, kDbInfoSize))), buffer, length + 1u);
    return 0;
  });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC NSFDbInfoModify(char* info, WORD what, const char* buffer) {
  if (info == nullptr || buffer == nullptr || what != kInfoParseTitle) return;
  Guarded<int>(0, [&](sim::SimHost& host) {
    const std::string changed = host.DbInfoWithTitle(std::string_view(info, strnlen(info, kDbInfoSize)), buffer);
    CopyOut(changed, info, kDbInfoSize);
    return 0;
  });
}

// The whole list, default entry included, as it stands in the source.
STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbCopyACL(DHANDLE source, DHANDLE target) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    std::string sourcePath;
    std::string targetPath;
    if (STATUS status = PathOf(host, source, sourcePath); status != kNoError) return status;
    if (STATUS status = PathOf(host, target, targetPath); status != kNoError) return status;
    sim::SimAcl acl;
    if (STATUS status = host.ReadAcl(sourcePath, acl); status != kNoError) return status;
    return host.SetAcl(targetPath, acl);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbReadACL(DHANDLE db, DHANDLE* acl) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (acl == nullptr) return kErrInvalidArgument;
    std::string path;
    if (STATUS status = PathOf(host, db, path); status != kNoError) return status;
    sim::SimAcl list;
    if (STATUS status = host.ReadAcl(path, list); status != kNoError) return status;
    const DHANDLE handle = standin::NewAclBlock(list);
    if (handle == 0) return kErrBufferTooSmall;
    *acl = handle;
    return kNoError;
  });
}

// Only what the library asks for: the default entry's (null name) level.
STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC ACLUpdateEntry(DHANDLE acl, const char* name, WORD updateFlags,
                                                          const char*, WORD newLevel, ACL_PRIVILEGES*, WORD) {
  sim::SimAcl* list = standin::AclOf(acl);
  if (list == nullptr) return kErrInvalidHandle;
  if ((updateFlags & kAclUpdateLevel) == 0) return kNoError;
  if (name == nullptr) {
    list->defaultLevel = newLevel;
  } else {
    list->entries[name] = newLevel;
  }
  return kNoError;
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbStoreACL(DHANDLE db, DHANDLE acl, DWORD, WORD) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    const sim::SimAcl* list = standin::AclOf(acl);
    if (list == nullptr) return kErrInvalidHandle;
    std::string path;
    if (STATUS status = PathOf(host, db, path); status != kNoError) return status;
    return host.SetAcl(path, *list);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbGetSpecialNoteID(DHANDLE db, WORD index, NOTEID* id) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (id == nullptr) return kErrInvalidArgument;
    return host.DbSpecialNoteId(DbHandle{db}, index, *id);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbIDGet(DHANDLE db, TIMEDATE* id) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (id == nullptr) return kErrInvalidArgument;
    TimeDate identity;
    const STATUS status = host.DbIdentity(DbHandle{db}, identity);
    if (status == kNoError) *id = ToHost(identity);
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFDbGetNoteInfoByUNID(DHANDLE db, UNID* unid, NOTEID* id,
                                                                  ORIGINATORID* oid, TIMEDATE* modified,
                                                                  WORD* noteClass) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (unid == nullptr || id == nullptr) return kErrInvalidArgument;
    Unid key;
    StoreU32(key.bytes, unid->file.innards[0]);
    StoreU32(key.bytes + 4, unid->file.innards[1]);
    StoreU32(key.bytes + 8, unid->note.innards[0]);
    StoreU32(key.bytes + 12, unid->note.innards[1]);
    uint16_t hostClass = 0;
    const STATUS status = host.DbNoteByUnid(DbHandle{db}, key, *id, hostClass);
    if (status != kNoError) return status;
    if (oid != nullptr) *oid = ORIGINATORID{unid->file, unid->note, 0, {}};
    if (modified != nullptr) *modified = TIMEDATE{};
    if (noteClass != nullptr) *noteClass = hostClass;
    return kNoError;
  });
}

STANDIN_EXPORT BOOL QUILLET_LNPUBLIC IDScan(DHANDLE table, BOOL first, NOTEID* id) {
  return Guarded<BOOL>(0, [&](sim::SimHost& host) -> BOOL {
    return id != nullptr && host.TableScan(TableHandle{table}, first != 0, *id) ? 1 : 0;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC IDDestroyTable(DHANDLE table) {
  return GuardedStatus([&](sim::SimHost& host) { return host.TableDestroy(TableHandle{table}); });
}

STANDIN_CHECK(NSFDbOpen);
STANDIN_CHECK(NSFDbOpenExtended);
STANDIN_CHECK(NSFDbClose);
STANDIN_CHECK(NSFDbPathGet);
STANDIN_CHECK(NSFDbReplicaInfoGet);
STANDIN_CHECK(NSFDbGetModifiedNoteTable);
STANDIN_CHECK(NSFDbCreateAndCopy);
STANDIN_CHECK(NSFDbInfoGet);
STANDIN_CHECK(NSFDbInfoSet);
STANDIN_CHECK(NSFDbInfoParse);
STANDIN_CHECK(NSFDbInfoModify);
STANDIN_CHECK(NSFDbCopyACL);
STANDIN_CHECK(NSFDbReadACL);
STANDIN_CHECK(ACLUpdateEntry);
STANDIN_CHECK(NSFDbStoreACL);
STANDIN_CHECK(NSFDbGetSpecialNoteID);
STANDIN_CHECK(NSFDbIDGet);
STANDIN_CHECK(NSFDbGetNoteInfoByUNID);
STANDIN_CHECK(IDScan);
STANDIN_CHECK(IDDestroyTable);
