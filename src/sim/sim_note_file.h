// A note exported from the simulated host as a file: its class, ID,
// signature state and items with their flags, types and values.
//
// File layout (little-endian):
//
//   | off | width | meaning                                            |
//   |   0 | 4     | "QNTF"                                             |
//   |   4 | u16   | format version, 1                                  |
//   |   6 | u16   | note class                                         |
//   |   8 | u32   | note ID in the database it came from (0: none)    |
//   |  12 | u16   | note flags: 0x0001 signed, 0x0002 sealed           |
//   |  14 | u16   | 0                                                  |
//   |  16 | u32   | item count n                                       |
//   |  20 | ...   | n items, in stored order                           |
//
// Item:
//
//   | off | width | meaning                                            |
//   |   0 | u16   | name length (1 to 255 bytes)                      |
//   |   2 | u16   | item flags                                         |
//   |   4 | u16   | data-type word                                     |
//   |   6 | u16   | 0                                                  |
//   |   8 | u32   | value length v (without the type word)             |
//   |  12 | ...   | the name (host text), then the v value bytes       |
//
// Nothing may follow the last item.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "sim/sim_host.h"
#include "util/parse_error.h"

namespace quillet::sim {

struct NoteFile {
  uint16_t noteClass = kNoteClassDocument;
  NoteId noteId = 0;
  bool isSigned = false;
  bool sealed = false;
  std::vector<SimItemSpec> items;  // in stored order
};

inline constexpr char kNoteFileMagic[4] = {'Q', 'N', 'T', 'F'};
inline constexpr uint16_t kNoteFileVersion = 1;
inline constexpr size_t kNoteFileHeaderSize = 20;
inline constexpr size_t kNoteFileItemHeaderSize = 12;
inline constexpr size_t kMaxItemNameLength = 255;

// The file's bytes.
std::vector<uint8_t> WriteNoteFile(const NoteFile& note);

// Reads a note file; false, with `note` unchanged and `error` naming the
// byte offset and field, for anything that is not a whole, well-formed file.
[[nodiscard]] bool ReadNoteFile(std::span<const uint8_t> bytes, NoteFile& note, ParseError& error);

// The open note `note` as a note file, through the Notes API.
[[nodiscard]] STATUS ExportNote(NotesApi& notes, NoteHandle note, NoteFile& file);

// Stores the file's note as a new note of the database `dbPath` (created
// when absent), signed again with the current ID when the file says it was
// signed; `id` receives the new note's ID.
[[nodiscard]] STATUS ImportNote(SimHost& host, std::string_view dbPath, const NoteFile& file, NoteId& id);

}  // namespace quillet::sim
