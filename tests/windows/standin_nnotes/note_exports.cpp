// The stand-in's note functions, and the five the library looks up only when
// it needs them (note expansion and ID switches).
#include <type_traits>

#include "standin_host.h"
#include "util/bytes.h"

namespace {

TIMEDATE TimeAt(const uint8_t* bytes) { return TIMEDATE{{LoadU32(bytes), LoadU32(bytes + 4)}}; }

// Opens, creates and copies answer a new note handle the same way.
template <typename Open>
StatusWord AnswerNote(sim::SimHost& host, DHANDLE* note, Open open) {
  if (note == nullptr) return kErrInvalidArgument;
  NoteHandle handle;
  const STATUS status = open(host, handle);
  if (status == kNoError) *note = handle.value;
  return status;
}

}  // namespace

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteOpen(DHANDLE db, NOTEID id, WORD flags, DHANDLE* note) {
  return GuardedStatus([&](sim::SimHost& host) {
    return AnswerNote(host, note, [&](sim::SimHost& h, NoteHandle& n) { return h.NoteOpen(DbHandle{db}, id, flags, n); });
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteCreate(DHANDLE db, DHANDLE* note) {
  return GuardedStatus([&](sim::SimHost& host) {
    return AnswerNote(host, note, [&](sim::SimHost& h, NoteHandle& n) { return h.NoteCreate(DbHandle{db}, n); });
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteCopy(DHANDLE source, DHANDLE* copy) {
  return GuardedStatus([&](sim::SimHost& host) {
    return AnswerNote(host, copy, [&](sim::SimHost& h, NoteHandle& n) { return h.NoteCopy(NoteHandle{source}, n); });
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteUpdate(DHANDLE note, WORD flags) {
  return GuardedStatus([&](sim::SimHost& host) { return host.NoteUpdate(NoteHandle{note}, flags); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteClose(DHANDLE note) {
  return GuardedStatus([&](sim::SimHost& host) {
    const STATUS status = host.NoteClose(NoteHandle{note});
    if (status == kNoError) standin::ReleaseValueBlocks(note);
    return status;
  });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC NSFNoteGetInfo(DHANDLE note, WORD member, void* value) {
  if (value == nullptr) return;
  Guarded<int>(0, [&](sim::SimHost& host) {
    const NoteHandle handle{note};
    switch (member) {
      case kNoteInfoDb:
        *static_cast<DHANDLE*>(value) = host.NoteDatabase(handle).value;
        break;
      case kNoteInfoId:
        *static_cast<NOTEID*>(value) = host.NoteGetId(handle);
        break;
      case kNoteInfoOid: {
        const OriginatorId oid = host.NoteOriginator(handle);
        *static_cast<ORIGINATORID*>(value) =
            ORIGINATORID{TimeAt(oid.unid.bytes), TimeAt(oid.unid.bytes + 8), oid.sequence,
                         TIMEDATE{{oid.sequenceTime.innards[0], oid.sequenceTime.innards[1]}}};
        break;
      }
      case kNoteInfoClass:
        *static_cast<WORD*>(value) = host.NoteClass(handle);
        break;
      default:
        break;
    }
    return 0;
  });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC NSFNoteSetInfo(DHANDLE note, WORD member, void* value) {
  if (value == nullptr || member != kNoteInfoClass) return;
  Guarded<int>(0, [&](sim::SimHost& host) {
    host.NoteSetClass(NoteHandle{note}, *static_cast<const WORD*>(value));
    return 0;
  });
}

STANDIN_EXPORT BOOL QUILLET_LNPUBLIC NSFNoteIsSignedOrSealed(DHANDLE note, BOOL* isSigned, BOOL* isSealed) {
  return Guarded<BOOL>(0, [&](sim::SimHost& host) -> BOOL {
    bool sealed = false;
    const bool signedNote = host.NoteIsSigned(NoteHandle{note}, sealed);
    if (isSigned != nullptr) *isSigned = signedNote ? 1 : 0;
    if (isSealed != nullptr) *isSealed = sealed ? 1 : 0;
    return signedNote || sealed ? 1 : 0;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteUnsign(DHANDLE note) {
  return GuardedStatus([&](sim::SimHost& host) { return host.NoteRemoveSignature(NoteHandle{note}); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteSign(DHANDLE note) {
  return GuardedStatus([&](sim::SimHost& host) { return host.NoteSign(NoteHandle{note}); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteContract(DHANDLE note) {
  return GuardedStatus([&](sim::SimHost& host) { return host.NoteContract(NoteHandle{note}); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteVerifySignature(DHANDLE note, char*, TIMEDATE* when, char* signer,
                                                                  char* certifier) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    std::string signerName;
    std::string certifierName;
    const STATUS status = host.NoteSigner(NoteHandle{note}, signerName, certifierName);
    if (status != kNoError) return status;
    if (when != nullptr) *when = TIMEDATE{};
    CopyOut(signerName, signer, kMaxUserName);
    CopyOut(certifierName, certifier, kMaxUserName);
    return kNoError;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteAttachFile(DHANDLE note, const char*, WORD, const char* path,
                                                             const char* originalName, WORD) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (path == nullptr || originalName == nullptr) return kErrInvalidArgument;
    return host.AttachFile(NoteHandle{note}, path, originalName);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteExtractFile(DHANDLE note, BLOCKID item, const char* path, void*) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (path == nullptr) return kErrInvalidArgument;
    return host.ExtractFile(NoteHandle{note}, ItemId{item.pool, item.block}, path);
  });
}

// --- Looked up at run time -----------------------------------------------------

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFNoteExpand(uint32_t note) {
  return GuardedStatus([&](sim::SimHost& host) { return host.NoteExpand(NoteHandle{note}); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC SECAttachToID(const char* idFile, const char* password, uint32_t* context) {
  return GuardedStatus([&](sim::SimHost& host) { return host.AttachToId(idFile, password, context); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC SECReattachToRootID(uint32_t) {
  return GuardedStatus([&](sim::SimHost& host) { return host.ReattachToRootId(); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC SECKFMSwitchToIDFile(const char* idFile, const char* password,
                                                                char* userName, uint16_t userNameSize, uint32_t,
                                                                void*) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    std::string user;
    const STATUS status = host.SwitchToIdFile("SECKFMSwitchToIDFile", idFile, password, user);
    if (status == kNoError) CopyOut(user, userName, userNameSize);
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC REGSwitchToID(uint32_t, uint16_t* out1, uint16_t* out2, const char* idFile,
                                                         const char* password, uint32_t) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    std::string user;
    const STATUS status = host.SwitchToIdFile("REGSwitchToID", idFile, password, user);
    if (out1 != nullptr) *out1 = 0;
    if (out2 != nullptr) *out2 = 0;
    return status;
  });
}

STANDIN_CHECK(NSFNoteOpen);
STANDIN_CHECK(NSFNoteCreate);
STANDIN_CHECK(NSFNoteCopy);
STANDIN_CHECK(NSFNoteUpdate);
STANDIN_CHECK(NSFNoteClose);
STANDIN_CHECK(NSFNoteGetInfo);
STANDIN_CHECK(NSFNoteSetInfo);
STANDIN_CHECK(NSFNoteIsSignedOrSealed);
STANDIN_CHECK(NSFNoteUnsign);
STANDIN_CHECK(NSFNoteSign);
STANDIN_CHECK(NSFNoteContract);
STANDIN_CHECK(NSFNoteVerifySignature);
STANDIN_CHECK(NSFNoteAttachFile);
STANDIN_CHECK(NSFNoteExtractFile);
static_assert(std::is_same_v<decltype(&::NSFNoteExpand), NSFNoteExpandFn>);
static_assert(std::is_same_v<decltype(&::SECAttachToID), SECAttachToIDFn>);
static_assert(std::is_same_v<decltype(&::SECReattachToRootID), SECReattachToRootIDFn>);
static_assert(std::is_same_v<decltype(&::SECKFMSwitchToIDFile), SECKFMSwitchToIDFileFn>);
static_assert(std::is_same_v<decltype(&::REGSwitchToID), REGSwitchToIDFn>);
