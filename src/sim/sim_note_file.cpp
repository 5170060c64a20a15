// Reading and writing note files, and moving notes between them and the host.
#include "sim/sim_note_file.h"

#include <algorithm>

#include "util/bytes.h"

namespace quillet::sim {
namespace {

constexpr std::string_view kSubject = "note file";
constexpr uint16_t kFileSigned = 0x0001;
constexpr uint16_t kFileSealed = 0x0002;

}  // namespace

std::vector<uint8_t> WriteNoteFile(const NoteFile& note) {
  ByteWriter out;
  out.PutBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kNoteFileMagic), sizeof kNoteFileMagic));
  out.PutU16(kNoteFileVersion);
  out.PutU16(note.noteClass);
  out.PutU32(note.noteId);
  out.PutU16(static_cast<uint16_t>((note.isSigned ? kFileSigned : 0) | (note.sealed ? kFileSealed : 0)));
  out.PutU16(0);
  out.PutU32(static_cast<uint32_t>(note.items.size()));
  for (const SimItemSpec& item : note.items) {
    out.PutU16(static_cast<uint16_t>(item.name.size()));
    out.PutU16(item.flags);
    out.PutU16(item.type);
    out.PutU16(0);
    out.PutU32(static_cast<uint32_t>(item.value.size()));
    out.PutBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(item.name.data()), item.name.size()));
    out.PutBytes(item.value);
  }
  return std::move(out.bytes());
}

bool ReadNoteFile(std::span<const uint8_t> bytes, NoteFile& note, ParseError& error) {
  ByteReader in(bytes);
  std::span<const uint8_t> magic;
  if (!in.ReadBytes(sizeof kNoteFileMagic, magic) ||
      !std::equal(magic.begin(), magic.end(), reinterpret_cast<const uint8_t*>(kNoteFileMagic)))
    return error.Refuse(kSubject, 0, "magic", "not a note file");
  NoteFile read;
  uint16_t version = 0, noteFlags = 0, reserved = 0;
  uint32_t count = 0;
  if (!in.ReadU16(version)) return error.Refuse(kSubject, in.pos(), "version", "file ends");
  if (version != kNoteFileVersion)
    return error.Refuse(kSubject, in.pos() - 2, "version", "version " + std::to_string(version) + " is not read");
  if (!in.ReadU16(read.noteClass) || !in.ReadU32(read.noteId) || !in.ReadU16(noteFlags) || !in.ReadU16(reserved) ||
      !in.ReadU32(count))
    return error.Refuse(kSubject, in.pos(), "note header", "file ends");
  if ((noteFlags & ~(kFileSigned | kFileSealed)) != 0 || reserved != 0)
    return error.Refuse(kSubject, 12, "note flags", "unknown flags");
  read.isSigned = (noteFlags & kFileSigned) != 0;
  read.sealed = (noteFlags & kFileSealed) != 0;
  // Every item takes at least its header and a one-byte name.
  if (count > in.remaining() / (kNoteFileItemHeaderSize + 1))
    return error.Refuse(kSubject, 16, "item count", std::to_string(count) + " items do not fit the file");
  read.items.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = in.pos();
    const std::string field = "item " + std::to_string(i);
    uint16_t nameLength = 0, itemReserved = 0;
    uint32_t valueLength = 0;
    SimItemSpec item;
    if (!in.ReadU16(nameLength) || !in.ReadU16(item.flags) || !in.ReadU16(item.type) || !in.ReadU16(itemReserved) ||
        !in.ReadU32(valueLength))
      return error.Refuse(kSubject, at, field, "file ends in the item header");
    if (nameLength == 0 || nameLength > kMaxItemNameLength)
      return error.Refuse(kSubject, at, field + " name length", std::to_string(nameLength) + " bytes");
    if (itemReserved != 0) return error.Refuse(kSubject, at + 6, field, "reserved word is not 0");
    std::span<const uint8_t> name, value;
    if (!in.ReadBytes(nameLength, name)) return error.Refuse(kSubject, in.pos(), field + " name", "file ends");
    if (!in.ReadBytes(valueLength, value)) return error.Refuse(kSubject, in.pos(), field + " value", "file ends");
    item.name.assign(name.begin(), name.end());
    item.value.assign(value.begin(), value.end());
    read.items.push_back(std::move(item));
  }
  if (!in.AtEnd()) return error.Refuse(kSubject, in.pos(), "end", "bytes follow the last item");
  note = std::move(read);
  return true;
}

STATUS ExportNote(NotesApi& notes, NoteHandle note, NoteFile& file) {
  NoteFile read;
  read.noteClass = notes.NoteClass(note);
  read.noteId = notes.NoteGetId(note);
  read.isSigned = notes.NoteIsSigned(note, read.sealed);
  if (!read.isSigned) read.sealed = false;
  const STATUS status = notes.ItemScan(note, [&read](const ItemInfo& info) -> STATUS {
    SimItemSpec item;
    item.name = info.name;
    item.flags = info.flags;
    item.type = info.type;
    // The host's value carries the type word first.
    if (info.value.size() > 2) item.value.assign(info.value.begin() + 2, info.value.end());
    read.items.push_back(std::move(item));
    return kNoError;
  });
  if (status != kNoError) return status;
  file = std::move(read);
  return kNoError;
}

STATUS ImportNote(SimHost& host, std::string_view dbPath, const NoteFile& file, NoteId& id) {
  if (!host.DatabaseExists(dbPath)) {
    if (const STATUS status = host.CreateDatabase(dbPath); status != kNoError) return status;
  }
  NoteId created = 0;
  if (const STATUS status = host.CreateNote(dbPath, file.noteClass, file.items, created); status != kNoError)
    return status;
  if (file.isSigned) {
    DbHandle db;
    if (const STATUS status = host.DbOpen(dbPath, db); status != kNoError) return status;
    NoteHandle note;
    STATUS status = host.NoteOpen(db, created, 0, note);
    if (status == kNoError) {
      status = host.NoteSign(note);
      if (status == kNoError) status = host.NoteUpdate(note, 0);
      const STATUS closed = host.NoteClose(note);
      if (status == kNoError) status = closed;
    }
    const STATUS closed = host.DbClose(db);
    if (status == kNoError) status = closed;
    if (status != kNoError) return status;
  }
  id = created;
  return kNoError;
}

}  // namespace quillet::sim
