// Shared services over the Notes API: text items, universal IDs, host
// functions found at run time, ID switching, re-signing, and the standard
// databases of the current location.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/notes_api.h"

namespace quillet {

// --- Text items (text_items.cpp) --------------------------------------------
// The text of the item's first instance; a text list yields its first entry.
// Zero bytes in the text become line feeds. kErrItemNotFound when the item is
// absent, kErrFunctionNotAvailable (the same word, 546) when it is not text
// (types 0x0500-0x05FF) or its list is malformed; `text` is then unchanged.
[[nodiscard]] STATUS ReadTextItem(NoteHandle note, std::string_view name, std::string& text);
// Replaces every instance of the item by one text item; line feeds are stored
// as zero bytes.
[[nodiscard]] STATUS WriteTextItem(NoteHandle note, std::string_view name, std::string_view text);
// Deletes instances of `name` until none is left; 0 when none remain.
[[nodiscard]] STATUS DeleteItems(NoteHandle note, std::string_view name);
// A universal ID as 32 hexadecimal digits: its 32-bit words in the order
// second, first, fourth, third.
std::string FormatUNID(const uint8_t unid[16]);

// --- Host functions (host_functions.cpp) ------------------------------------
// The address of export `name` of the loaded "nnotes" module, or null. The
// five functions the system calls are resolved once per process and kept.
void* ResolveHostFunction(std::string_view name);
// Forgets the kept addresses, for a host that was replaced (the simulated
// host's fixtures do this between tests).
void ForgetHostFunctions();
// Expands a note through "NSFNoteExpand"; kErrEntryNotFound when the host
// has no such export.
[[nodiscard]] Status32 ExpandNote(NoteHandle note);
// Switches the process to another ID file ("SECKFMSwitchToIDFile", else
// "REGSwitchToID"); kErrFunctionNotAvailable when the host has neither.
[[nodiscard]] STATUS SwitchToIdFile(std::string_view idPath, std::string_view password);
// "SECAttachToID" and "SECReattachToRootID" around a temporary ID switch;
// kErrFunctionNotAvailable when the host lacks them.
[[nodiscard]] STATUS AttachToId();
[[nodiscard]] STATUS ReattachToRootId();
// Signs a rewritten note again with the current ID, removing an old signature
// first; documents and the other classes of 0x0507 are expanded around the
// signing. Returns the first failure or the signing status.
[[nodiscard]] Status32 ResignNote(NoteHandle note);

// --- Location (location_database.cpp) --------------------------------------
inline constexpr int kLocationMailFile = 3584;     // 0xE00: mail server and file as a network path
inline constexpr int kLocationAddressBook = 3585;
inline constexpr int kLocationHeadlines = 3586;
inline constexpr int kLocationBookmarks = 3587;
// The path of one of the current location's standard databases; false (path
// unchanged) when there is no location, its document cannot be read or the
// kind is not one of the four above.
bool LocationDatabase(int kind, std::string& path);
// True for the local caches of the Notes client, "cache.dsk" and "cache.ndk".
bool IsCacheDatabase(std::string_view path);

}  // namespace quillet
