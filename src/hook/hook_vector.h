// The host's hook vector and the calling conventions of hooks and timer entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/notes_api.h"

// Hooks use the host's standard calling convention (callee removes the
// arguments) on 32-bit Windows; timer entries are cdecl. Elsewhere there is
// one convention and both macros are empty.
#if defined(_WIN32) && !defined(_WIN64)
#define QUILLET_HOOKAPI __stdcall
#define QUILLET_CDECL __cdecl
#else
#define QUILLET_HOOKAPI
#define QUILLET_CDECL
#endif

namespace quillet {

// A hook answers a 16-bit host status in its 32-bit result register.
using HookStatus = uint32_t;

struct HookVector;

// Hook arguments as the host passes them; database and note handles are the
// host's 32-bit handle values.
using TermHook = HookStatus(QUILLET_HOOKAPI*)(HookVector* vector);
using NoteOpenHook = HookStatus(QUILLET_HOOKAPI*)(HookVector* vector, const char* userName, void* groupList,
                                                  uint32_t db, NoteId noteId, uint32_t note, uint16_t openFlags);
using NoteUpdateHook = HookStatus(QUILLET_HOOKAPI*)(HookVector* vector, const char* userName, void* groupList,
                                                    uint32_t db, NoteId noteId, uint32_t note,
                                                    uint16_t* updateFlags);
using DbStampNotesHook = HookStatus(QUILLET_HOOKAPI*)(HookVector* vector, const char* userName, void* groupList,
                                                      uint32_t db, uint32_t table, const char* itemName,
                                                      uint16_t itemNameLength, void* data, uint16_t length);

// The record the host hands to MainEntryPoint: one pointer-sized slot each.
//   slot | 32-bit offset | content
//   0    | 0             | host-owned, never touched
//   1    | 4             | host-owned, never touched
//   2    | 8             | termination hook
//   3    | 12            | note-open hook
//   4    | 16            | note-update hook (client only)
//   5    | 20            | stamp-notes hook
struct HookVector {
  void* hostModule;
  void* hostInit;
  TermHook term;
  NoteOpenHook noteOpen;
  NoteUpdateHook noteUpdate;
  DbStampNotesHook dbStampNotes;
};
static_assert(sizeof(void*) != 4 || (offsetof(HookVector, term) == 8 && offsetof(HookVector, noteOpen) == 12 &&
                                     offsetof(HookVector, noteUpdate) == 16 &&
                                     offsetof(HookVector, dbStampNotes) == 20),
              "the host's 32-bit hook vector layout");

}  // namespace quillet
