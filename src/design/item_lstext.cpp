// LotusScript source as text chunks.
#include "design/item_lstext.h"

#include <new>

#include "design/design_messages.h"
#include "design/item_text.h"

namespace quillet {
namespace {

struct ChunkCursor : RewriteCursor {
  size_t next = 0;
};

// Appends the text of one stored value (type word first) to `text`.
Status32 AppendValueText(std::span<const uint8_t> value, std::string& text) {
  if (value.size() < 2) return kErrUnsupportedDatatype;
  const uint16_t type = static_cast<uint16_t>(value[0] | (value[1] << 8));
  const std::span<const uint8_t> bytes = value.subspan(2);
  if (type == kTypeText) {
    text.append(bytes.begin(), bytes.end());
    return kNoError;
  }
  if (type != kTypeTextList) return kErrUnsupportedDatatype;
  std::vector<std::string> entries;
  CKVXItemTextList(type, bytes).Entries(entries);
  for (const std::string& entry : entries) text += entry;
  return kNoError;
}

}  // namespace

CKVXItemLSText::CKVXItemLSText(std::string_view text) {
  size_t start = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    const bool lineStart = at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r';
    if (lineStart && at > start && text.substr(at, kScriptChunkMark.size()) == kScriptChunkMark) {
      chunks_.emplace_back(text.substr(start, at - start));
      start = at;
    }
  }
  if (start < text.size()) chunks_.emplace_back(text.substr(start));
}

Status32 CKVXItemLSText::FromNote(NoteHandle note, std::string_view name, std::unique_ptr<CKVXItemLSText>& out) {
  try {
    return Read(note, name, out);
  } catch (const std::bad_alloc&) {  // the text and its chunks are copies
    return kErrOutOfMemory;
  }
}

Status32 CKVXItemLSText::Read(NoteHandle note, std::string_view name, std::unique_ptr<CKVXItemLSText>& out) {
  ItemInfo info;
  if (STATUS status = Notes().ItemFind(note, name, info)) return status;
  std::string text;
  for (;;) {
    if (Status32 status = AppendValueText(info.value, text)) return status;
    const ItemId previous = info.item;
    const STATUS next = Notes().ItemFindNext(note, previous, info);
    if (StatusCode(next) == kErrItemNotFound) break;
    if (next != kNoError) return next;
  }
  out = std::make_unique<CKVXItemLSText>(text);
  return kNoError;
}

Status32 CKVXItemLSText::Rewrite(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) {
  if (!cursor) {
    cursor.reset(new (std::nothrow) ChunkCursor);
    if (!cursor) return kErrOutOfMemory;
  }
  auto& at = static_cast<ChunkCursor&>(*cursor);
  while (at.next < chunks_.size()) {
    const std::string& chunk = chunks_[at.next];
    size_t length = 0;
    const Status32 status = EmitPiece(PieceKind::Script,
                                      std::span(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()), args,
                                      out, length);
    if (status == kErrOutOfMemory && out.length() > 0) return kNoError;  // the rest goes to the next buffer
    if (status != kNoError) {
      cursor.reset();
      return status == kErrOutOfMemory ? kErrRecordExceeds64K : status;
    }
    ++at.next;
  }
  cursor.reset();
  return kNoError;
}

Status32 CKVXItemLSText::Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const {
  std::string text;
  try {
    for (const std::string& chunk : chunks_) text += chunk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  return Notes().ItemAppend(note, itemFlags, name, kTypeText,
                            std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace quillet
