// The hook driver's exports: undecorated C names over the core's entry points.
// Nothing else of ours leaves the library (nquillet.map). On Windows the
// module-definition file alone names the exports: a dllexport here would add
// the decorated stdcall names of 32-bit builds beside the undecorated ones.
#include "hook/hooks.h"

#if defined(_WIN32)
#define QUILLET_EXPORT
#else
#define QUILLET_EXPORT __attribute__((visibility("default")))
#endif

using quillet::HookStatus;
using quillet::HookVector;
using quillet::NoteId;

// The core entry points catch everything themselves; these only forward.
extern "C" {

QUILLET_EXPORT HookStatus QUILLET_HOOKAPI MainEntryPoint(HookVector* vector) {
  return quillet::MainEntryPoint(vector);
}

QUILLET_EXPORT HookStatus QUILLET_HOOKAPI Term(HookVector* vector) { return quillet::Term(vector); }

QUILLET_EXPORT HookStatus QUILLET_HOOKAPI HookNoteOpen_Server(HookVector* vector, const char* userName,
                                                              void* groupList, uint32_t db, NoteId noteId,
                                                              uint32_t note, uint16_t openFlags) {
  return quillet::HookNoteOpen_Server(vector, userName, groupList, db, noteId, note, openFlags);
}

QUILLET_EXPORT HookStatus QUILLET_HOOKAPI HookNoteOpen_Client(HookVector* vector, const char* userName,
                                                              void* groupList, uint32_t db, NoteId noteId,
                                                              uint32_t note, uint16_t openFlags) {
  return quillet::HookNoteOpen_Client(vector, userName, groupList, db, noteId, note, openFlags);
}

QUILLET_EXPORT HookStatus QUILLET_HOOKAPI HookNoteUpdate(HookVector* vector, const char* userName,
                                                         void* groupList, uint32_t db, NoteId noteId,
                                                         uint32_t note, uint16_t* updateFlags) {
  return quillet::HookNoteUpdate(vector, userName, groupList, db, noteId, note, updateFlags);
}

QUILLET_EXPORT HookStatus QUILLET_HOOKAPI HookDbStampNotes(HookVector* vector, const char* userName,
                                                           void* groupList, uint32_t db, uint32_t table,
                                                           const char* itemName, uint16_t itemNameLength,
                                                           void* data, uint16_t length) {
  return quillet::HookDbStampNotes(vector, userName, groupList, db, table, itemName, itemNameLength, data,
                                   length);
}

QUILLET_EXPORT HookStatus QUILLET_HOOKAPI GetFileVersion(void* record) { return quillet::GetFileVersion(record); }

QUILLET_EXPORT void QUILLET_CDECL KVXFunctionTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4,
                                                   uint32_t w5, int32_t type) {
  quillet::KVXFunctionTimer(w1, w2, w3, w4, w5, type);
}

QUILLET_EXPORT void QUILLET_CDECL KVXLineTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                                               int32_t type, int32_t line) {
  quillet::KVXLineTimer(w1, w2, w3, w4, w5, type, line);
}

}  // extern "C"
