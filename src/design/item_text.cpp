// Text values and the text reading services.
#include "design/item_text.h"

#include "design/item_reader.h"
#include "util/bytes.h"

namespace quillet {
namespace {
constexpr uint16_t kLineBufferSize = 65535;  // the rendering keeps one byte for its terminator
constexpr char kValueSeparator = '|';
}  // namespace

void CKVXItemTextList::Entries(std::vector<std::string>& entries) const {
  entries.clear();
  ByteReader reader(bytes());
  uint16_t count = 0;
  if (!reader.ReadU16(count)) return;
  ByteReader lengths(bytes());
  if (!lengths.Skip(2) || !reader.Skip(2 * size_t{count})) return;
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t length = 0;
    std::span<const uint8_t> entry;
    if (!lengths.ReadU16(length) || !reader.ReadBytes(length, entry)) return;
    entries.emplace_back(entry.begin(), entry.end());
  }
}

Status32 ReadItemValue(NoteHandle note, std::string_view name, std::unique_ptr<CKVXItemValue>& value) {
  ItemInfo info;
  if (STATUS status = Notes().ItemFind(note, name, info)) return status;
  return CreateItemValue(name, note, info.item, 0, info.value, value);
}

Status32 ReadTextItemLines(NoteHandle note, std::string_view name, std::vector<std::string>& lines) {
  lines.clear();
  std::unique_ptr<CKVXItemValue> value;
  if (ReadItemValue(note, name, value) != kNoError) return kErrItemNotFound;
  if (const auto* text = dynamic_cast<const CKVXItemText*>(value.get())) {
    lines.push_back(text->GetText());
    return kNoError;
  }
  if (const auto* list = dynamic_cast<const CKVXItemTextList*>(value.get())) {
    list->Entries(lines);
    return kNoError;
  }
  return kErrItemNotFound;
}

uint16_t ReadItemAsLine(NoteHandle note, std::string_view name, std::string& line) {
  std::string text;
  if (Notes().ItemAsText(note, name, text, kValueSeparator, kLineBufferSize) != kNoError) text.clear();
  line = std::move(text);
  return static_cast<uint16_t>(line.size());
}

}  // namespace quillet
