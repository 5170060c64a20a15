// The message catalogue: English texts of the system's own 32-bit status codes.
//
// Every subsystem owns a table of (code, text) pairs ended by code 0. The
// tables are merged once into one ordered map; look-ups clear bits 14 and 15
// of the code first, as for host statuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/status.h"

namespace quillet {

struct MessageEntry {
  uint32_t code;
  const char* text;  // UTF-8
};

// Adds a table to the catalogue. REQUIRES: the table lives for the whole
// process and ends with an entry of code 0. The first text given for a code
// wins. Tables registered after LoadMessageCatalog are merged at once.
void RegisterMessageTable(const MessageEntry* table);

// Registers a subsystem's table while the program starts: each subsystem
// defines one of these beside its table, in a `*_messages.cpp` file that every
// program linking the subsystem takes in whole.
struct MessageTableRegistration {
  explicit MessageTableRegistration(const MessageEntry* table) { RegisterMessageTable(table); }
};

// Merges the tables registered so far into the catalogue. Idempotent and
// thread-safe; look-ups call it themselves.
void LoadMessageCatalog();

// The text of `code` in the host character set, cut to `size - 1` bytes and
// terminated. Codes above 0xFFFF come from the catalogue: 0 when found, else
// "Undef: %04x,%04x" (upper 16 bits, low 14 bits) and kErrStringNotFound.
// Codes up to 0xFFFF are host statuses: 0 when the host has a text for it,
// else an empty text and kErrStringNotFound.
[[nodiscard]] Status32 GetMessageText(Status32 code, char* buffer, size_t size);

// The same text, uncut: the "Undef" form for an unknown code above 0xFFFF,
// empty for a host status without a text.
std::string MessageText(Status32 code);

// The "Undef: %04x,%04x" text of a code that has no message.
std::string UndefinedMessageText(Status32 code);

}  // namespace quillet
