// Text items and universal IDs.
//
// A text list value (after the 16-bit type word):
//   u16  entry count n
//   u16  length of each entry, n times
//   the entries' bytes, one after the other
#include <cstdio>
#include <span>

#include "config/notes_services.h"
#include "util/bytes.h"

namespace quillet {
namespace {

bool IsTextType(uint16_t type) { return (type & 0xFF00) == 0x0500; }

// The first entry of a text list; false when the list runs past its value.
bool FirstListEntry(std::span<const uint8_t> data, std::span<const uint8_t>& entry) {
  ByteReader reader(data);
  uint16_t count = 0;
  if (!reader.ReadU16(count)) return false;
  if (count == 0) {
    entry = {};
    return true;
  }
  uint16_t firstLength = 0;
  if (!reader.ReadU16(firstLength)) return false;
  if (!reader.Seek(2 + 2 * static_cast<size_t>(count))) return false;
  return reader.ReadBytes(firstLength, entry);
}

}  // namespace

STATUS ReadTextItem(NoteHandle note, std::string_view name, std::string& text) {
  ItemInfo info;
  if (STATUS status = Notes().ItemFind(note, name, info); status != kNoError) return status;
  if (!IsTextType(info.type)) return kErrFunctionNotAvailable;
  std::span<const uint8_t> data(info.value);
  data = data.size() >= 2 ? data.subspan(2) : std::span<const uint8_t>();
  if (info.type == kTypeTextList && !FirstListEntry(data, data)) return kErrFunctionNotAvailable;
  text.assign(data.begin(), data.end());
  for (char& c : text) {
    if (c == '\0') c = '\n';
  }
  return kNoError;
}

STATUS WriteTextItem(NoteHandle note, std::string_view name, std::string_view text) {
  std::string stored(text);
  for (char& c : stored) {
    if (c == '\n') c = '\0';
  }
  return Notes().ItemSetText(note, name, stored);
}

STATUS DeleteItems(NoteHandle note, std::string_view name) {
  NotesApi& notes = Notes();
  STATUS status = kNoError;
  while ((status = notes.ItemDelete(note, name)) == kNoError) {
  }
  return StatusCode(status) == kErrItemNotFound ? kNoError : status;
}

std::string FormatUNID(const uint8_t unid[16]) {
  char text[33];
  std::snprintf(text, sizeof text, "%.8lX%.8lX%.8lX%.8lX", static_cast<unsigned long>(LoadU32(unid + 4)),
                static_cast<unsigned long>(LoadU32(unid)), static_cast<unsigned long>(LoadU32(unid + 12)),
                static_cast<unsigned long>(LoadU32(unid + 8)));
  return text;
}

}  // namespace quillet
