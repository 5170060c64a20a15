// The hook driver's entry points as the core defines them; the shared library
// exports each under its undecorated C name (src/exports).
#pragma once

#include <cstdint>

#include "hook/hook_vector.h"

namespace quillet {

// Decides the process role, creates the application object and fills the
// hook vector. Always 0; with no Notes API installed the vector's hook slots
// are cleared and nothing else happens.
HookStatus QUILLET_HOOKAPI MainEntryPoint(HookVector* vector) noexcept;
// Destroys the application object. Always 0.
HookStatus QUILLET_HOOKAPI Term(HookVector* vector) noexcept;

// Note hooks: always 0, except a refused design save (kErrDesignSaveRefused).
HookStatus QUILLET_HOOKAPI HookNoteOpen_Server(HookVector* vector, const char* userName, void* groupList,
                                               uint32_t db, NoteId noteId, uint32_t note,
                                               uint16_t openFlags) noexcept;
HookStatus QUILLET_HOOKAPI HookNoteOpen_Client(HookVector* vector, const char* userName, void* groupList,
                                               uint32_t db, NoteId noteId, uint32_t note,
                                               uint16_t openFlags) noexcept;
HookStatus QUILLET_HOOKAPI HookNoteUpdate(HookVector* vector, const char* userName, void* groupList, uint32_t db,
                                          NoteId noteId, uint32_t note, uint16_t* updateFlags) noexcept;

// Answers the presence probe (item name "$QUILLET_MESSAGE") with
// kStampNotesHandled; 0 for every other item name.
HookStatus QUILLET_HOOKAPI HookDbStampNotes(HookVector* vector, const char* userName, void* groupList,
                                            uint32_t db, uint32_t table, const char* itemName,
                                            uint16_t itemNameLength, void* data, uint16_t length) noexcept;

// Fills the caller's version record (layout in hook/file_version.h). Always 0.
HookStatus QUILLET_HOOKAPI GetFileVersion(void* record) noexcept;

// Timer entries called by rewritten LotusScript; w1..w5 carry 16-bit values
// in the low halves of their slots.
void QUILLET_CDECL KVXFunctionTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                                    int32_t type) noexcept;
void QUILLET_CDECL KVXLineTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5, int32_t type,
                                int32_t line) noexcept;

}  // namespace quillet
