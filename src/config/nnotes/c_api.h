// The Notes C API functions the binding calls, as nnotes exports them:
// types and prototypes written from the public C API reference. Nothing here
// is linked; every function is looked up by name at run time.
#pragma once

#include <cstdint>

#include "config/notes_api.h"  // QUILLET_LNPUBLIC, the C API's calling convention

namespace quillet::nnotes {

using WORD = uint16_t;
using DWORD = uint32_t;
using BOOL = int32_t;
// The C API's STATUS is a WORD: the bare StatusWord (the library's STATUS is a
// value type around it).

using DHANDLE = uint32_t;  // database, note, ID table and memory handles
using NOTEID = uint32_t;

struct TIMEDATE {
  DWORD innards[2];
};
struct BLOCKID {  // an item or value block: pool handle and block within it
  DHANDLE pool;
  WORD block;
};
struct UNID {
  TIMEDATE file;
  TIMEDATE note;
};
struct ORIGINATORID {
  TIMEDATE file;
  TIMEDATE note;
  DWORD sequence;
  TIMEDATE sequenceTime;
};
struct ACL_PRIVILEGES {
  uint8_t bitMask[10];
};
struct DBREPLICAINFO {
  TIMEDATE id;
  WORD flags;
  WORD cutoffInterval;
  TIMEDATE cutoff;
};

// Sizes and selectors the calls need.
inline constexpr WORD kMaxPath = 256;         // MAXPATH
inline constexpr WORD kMaxEnvValue = 256;     // MAXENVVALUE
inline constexpr WORD kMaxUserName = 256;     // MAXUSERNAME
inline constexpr WORD kDbInfoSize = 128;      // NSF_INFO_SIZE
inline constexpr WORD kInfoParseTitle = 0;    // INFOPARSE_TITLE
inline constexpr WORD kTimeDateMinimum = 0;   // TIMEDATE_MINIMUM
inline constexpr WORD kNoteInfoDb = 0;        // _NOTE_DB
inline constexpr WORD kNoteInfoId = 1;        // _NOTE_ID
inline constexpr WORD kNoteInfoOid = 2;       // _NOTE_OID
inline constexpr WORD kNoteInfoClass = 3;     // _NOTE_CLASS
inline constexpr WORD kAttachNoCompression = 0;  // COMPRESS_NONE
inline constexpr DWORD kMqWaitForMessage = 0;
inline constexpr WORD kMemoryBlockType = 0;      // OSMemAlloc's block type: diagnostics only
inline constexpr WORD kNullBlock = 0;            // NULLBLOCK: a memory handle's whole block
inline constexpr WORD kAclUpdateLevel = 0x02;    // ACL_UPDATE_LEVEL
inline constexpr WORD kAclStoreExisting = 0;     // NSFDbStoreACL: the list came from NSFDbReadACL

extern "C" {
using OSGetEnvironmentStringFn = BOOL(QUILLET_LNPUBLIC*)(const char* name, char* value, WORD size);
using OSGetEnvironmentLongFn = long(QUILLET_LNPUBLIC*)(const char* name);
using OSSetEnvironmentVariableFn = void(QUILLET_LNPUBLIC*)(const char* name, const char* value);
using OSGetDataDirectoryFn = WORD(QUILLET_LNPUBLIC*)(char* path);
// Takes a printf-style format: the caller removes the arguments.
using AddInLogMessageTextFn = void (*)(const char* format, StatusWord status, ...);
using NotesInitThreadFn = StatusWord(QUILLET_LNPUBLIC*)();
using NotesTermThreadFn = void(QUILLET_LNPUBLIC*)();
using SECKFMGetUserNameFn = StatusWord(QUILLET_LNPUBLIC*)(char* userName);
using OSCurrentTIMEDATEFn = void(QUILLET_LNPUBLIC*)(TIMEDATE* now);
using TimeConstantFn = void(QUILLET_LNPUBLIC*)(WORD which, TIMEDATE* value);
using OSTranslateFn = WORD(QUILLET_LNPUBLIC*)(WORD mode, const char* in, WORD inLength, char* out, WORD outLength);
using OSLoadStringFn = WORD(QUILLET_LNPUBLIC*)(void* module, StatusWord status, char* text, WORD size);
using OSPathNetConstructFn = StatusWord(QUILLET_LNPUBLIC*)(const char* port, const char* server, const char* file,
                                                       char* path);
using OSLockObjectFn = void*(QUILLET_LNPUBLIC*)(DHANDLE handle);
using OSUnlockObjectFn = BOOL(QUILLET_LNPUBLIC*)(DHANDLE handle);

using NSFDbOpenFn = StatusWord(QUILLET_LNPUBLIC*)(const char* path, DHANDLE* db);
using NSFDbOpenExtendedFn = StatusWord(QUILLET_LNPUBLIC*)(const char* path, WORD options, DHANDLE names,
                                                      TIMEDATE* modifiedSince, DHANDLE* db, TIMEDATE* dataModified,
                                                      TIMEDATE* nonDataModified);
using NSFDbCloseFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db);
using NSFDbPathGetFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, char* canonical, char* expanded);
using NSFDbReplicaInfoGetFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, DBREPLICAINFO* info);
using NSFDbGetModifiedNoteTableFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, WORD noteClassMask, TIMEDATE since,
                                                              TIMEDATE* until, DHANDLE* table);
using NSFDbCreateAndCopyFn = StatusWord(QUILLET_LNPUBLIC*)(const char* source, const char* target, WORD noteClass,
                                                       WORD limit, DWORD flags, DHANDLE* db);
using NSFDbInfoGetFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, char* info);
using NSFDbInfoSetFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, const char* info);
using NSFDbInfoParseFn = void(QUILLET_LNPUBLIC*)(const char* info, WORD what, char* buffer, WORD length);
using NSFDbInfoModifyFn = void(QUILLET_LNPUBLIC*)(char* info, WORD what, const char* buffer);
using NSFDbCopyACLFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE source, DHANDLE target);
using NSFDbReadACLFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, DHANDLE* acl);
using NSFDbStoreACLFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, DHANDLE acl, DWORD objectId, WORD method);
// A null name is the default entry.
using ACLUpdateEntryFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE acl, const char* name, WORD updateFlags,
                                                   const char* newName, WORD newLevel,
                                                   ACL_PRIVILEGES* newPrivileges, WORD newFlags);
using NSFDbGetSpecialNoteIDFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, WORD index, NOTEID* id);
using NSFDbIDGetFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, TIMEDATE* id);
using NSFDbGetNoteInfoByUNIDFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, UNID* unid, NOTEID* id,
                                                           ORIGINATORID* oid, TIMEDATE* modified, WORD* noteClass);
using IDScanFn = BOOL(QUILLET_LNPUBLIC*)(DHANDLE table, BOOL first, NOTEID* id);
using IDDestroyTableFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE table);

using NSFNoteOpenFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, NOTEID id, WORD flags, DHANDLE* note);
using NSFNoteCreateFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE db, DHANDLE* note);
using NSFNoteCopyFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE source, DHANDLE* copy);
using NSFNoteUpdateFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, WORD flags);
using NSFNoteCloseFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note);
using NSFNoteGetInfoFn = void(QUILLET_LNPUBLIC*)(DHANDLE note, WORD member, void* value);
using NSFNoteSetInfoFn = void(QUILLET_LNPUBLIC*)(DHANDLE note, WORD member, void* value);
using NSFNoteIsSignedOrSealedFn = BOOL(QUILLET_LNPUBLIC*)(DHANDLE note, BOOL* isSigned, BOOL* isSealed);
using NSFNoteUnsignFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note);
using NSFNoteSignFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note);
using NSFNoteContractFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note);
using NSFNoteVerifySignatureFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, char* reserved, TIMEDATE* when,
                                                           char* signer, char* certifier);
using NSFNoteAttachFileFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, const char* itemName, WORD itemNameLength,
                                                      const char* path, const char* originalName, WORD encoding);
using NSFNoteExtractFileFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, BLOCKID item, const char* path,
                                                       void* decryptionKey);

using NSFItemInfoFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, WORD nameLength, BLOCKID* item,
                                                WORD* type, BLOCKID* value, DWORD* valueLength);
using NSFItemInfoNextFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, BLOCKID previous, const char* name,
                                                    WORD nameLength, BLOCKID* item, WORD* type, BLOCKID* value,
                                                    DWORD* valueLength);
using NSFItemQueryFn = void(QUILLET_LNPUBLIC*)(DHANDLE note, BLOCKID item, char* name, WORD nameSize,
                                               WORD* nameLength, WORD* flags, WORD* type, BLOCKID* value,
                                               DWORD* valueLength);
using NSFItemGetTextFn = WORD(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, char* text, WORD size);
using NSFItemGetNumberFn = BOOL(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, double* value);
using NSFItemGetTimeFn = BOOL(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, TIMEDATE* value);
using NSFItemGetTextListEntriesFn = WORD(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name);
using NSFItemGetTextListEntryFn = WORD(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, WORD entry, char* text,
                                                          WORD size);
using NSFItemSetTextFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, const char* text, WORD length);
using NSFItemSetNumberFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, double* value);
using NSFItemSetTimeFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, TIMEDATE* value);
using NSFItemAppendFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, WORD flags, const char* name, WORD nameLength,
                                                  WORD type, const void* value, DWORD valueLength);
using NSFItemDeleteFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, WORD nameLength);
using NSFItemDeleteByBLOCKIDFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, BLOCKID item);
using NSFItemCopyFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, BLOCKID item);
using NSFItemScanCallback = StatusWord(QUILLET_LNPUBLIC*)(WORD spare, WORD flags, char* name, WORD nameLength,
                                                      void* value, DWORD valueLength, void* context);
using NSFItemScanFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE note, NSFItemScanCallback callback, void* context);
using NSFItemConvertToTextFn = WORD(QUILLET_LNPUBLIC*)(DHANDLE note, const char* name, char* text, WORD size,
                                                       char separator);

using OSMemAllocFn = StatusWord(QUILLET_LNPUBLIC*)(WORD blockType, DWORD size, DHANDLE* handle);
using OSMemFreeFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE handle);
// On-disk size of a structure; ODSReadMemory converts on-disk to host form,
// ODSWriteMemory host to on-disk, each moving *cursor past the on-disk bytes.
using ODSLengthFn = WORD(QUILLET_LNPUBLIC*)(WORD type);
using ODSReadMemoryFn = void(QUILLET_LNPUBLIC*)(void* cursor, WORD type, void* host, WORD iterations);
using ODSWriteMemoryFn = void(QUILLET_LNPUBLIC*)(void* cursor, WORD type, const void* host, WORD iterations);
// Called once per record: its bytes (header first), signature and length.
using ActionRoutinePtr = StatusWord(QUILLET_LNPUBLIC*)(char* record, WORD signature, DWORD length, void* context);
using EnumCompositeBufferFn = StatusWord(QUILLET_LNPUBLIC*)(BLOCKID value, DWORD length, ActionRoutinePtr action,
                                                        void* context);

using MQCreateFn = StatusWord(QUILLET_LNPUBLIC*)(const char* name, WORD quota, DWORD options);
using MQOpenFn = StatusWord(QUILLET_LNPUBLIC*)(const char* name, DWORD options, DHANDLE* queue);
using MQCloseFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE queue, DWORD options);
using MQPutFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE queue, WORD priority, const char* message, WORD length,
                                          DWORD options);
using MQScanCallback = StatusWord(QUILLET_LNPUBLIC*)(const char* message, WORD length, WORD priority, void* context);
using MQScanFn = StatusWord(QUILLET_LNPUBLIC*)(DHANDLE queue, char* buffer, WORD size, DWORD options,
                                           MQScanCallback callback, void* context);
}  // extern "C"

}  // namespace quillet::nnotes
