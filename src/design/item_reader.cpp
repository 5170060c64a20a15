// The value factory, the item reader and the rich-text rewrite.
#include "design/item_reader.h"

#include <new>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_composite.h"
#include "design/item_lstext.h"
#include "design/item_text.h"
#include "design/item_types.h"

namespace quillet {
namespace {

// Stage 2: the value of the bytes after the type word.
CKVXItemValue* MakePlainValue(uint16_t type, uint16_t readFlags, std::span<const uint8_t> bytes) {
  if ((readFlags & kReadAsBinary) == 0) {
    if (type == kTypeFormula) return new (std::nothrow) CKVXItemFormula(type, bytes);
    if (type == kTypeText) return new (std::nothrow) CKVXItemText(type, bytes);
    if (type == kTypeTextList) return new (std::nothrow) CKVXItemTextList(type, bytes);
    const bool hasClass = type == kTypeCollation || type == kTypeViewFormat || type == kTypeIcon ||
                          type == kTypeText || type == kTypeTextList;
    if (!hasClass && (readFlags & kReadPlaceholder) != 0) return new (std::nothrow) CKVXItemNullEnum(type);
  }
  return new (std::nothrow) CKVXItemBinary(type, bytes);
}

// An empty buffer of one segment's size; null when memory runs out.
std::unique_ptr<RecordBuffer> NewSegmentBuffer() noexcept {
  try {
    return std::make_unique<RecordBuffer>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

Status32 CreateItemValue(std::string_view name, NoteHandle note, ItemId instance, uint16_t readFlags,
                         std::span<const uint8_t> value, std::unique_ptr<CKVXItemValue>& out) {
  if (value.size() < 2) return kErrUnsupportedDatatype;
  const uint16_t type = static_cast<uint16_t>(value[0] | (value[1] << 8));
  if (IsCompositeType(type)) {
    std::unique_ptr<CKVXItemComposite> composite;
    if (Status32 status = CKVXItemComposite::FromNote(note, name, composite)) return status;
    out = std::move(composite);
    return kNoError;
  }
  if ((readFlags & kReadTextAsScript) != 0 && (type == kTypeText || type == kTypeTextList)) {
    std::unique_ptr<CKVXItemLSText> source;
    if (Status32 status = CKVXItemLSText::FromNote(note, name, source)) return status;
    out = std::move(source);
    return kNoError;
  }
  CKVXItemValue* made = nullptr;
  ItemInfo further;
  if (type == kTypeLsObject || ((readFlags & kReadTextAsObjectCode) != 0 && type == kTypeText)) {
    made = new (std::nothrow) CKVXItemLSObject;
  } else if (Notes().ItemFindNext(note, instance, further) == kNoError && (readFlags & kReadFirstInstanceOnly) == 0) {
    if ((readFlags & kReadPlaceholder) == 0) return kErrUnsupportedDatatype;
    made = new (std::nothrow) CKVXItemNullEnum(type);
  } else {
    made = MakePlainValue(type, readFlags, value.subspan(2));
  }
  if (made == nullptr) return kErrOutOfMemory;
  out.reset(made);
  return kNoError;
}

Status32 CKVXItemReader::Open(NoteHandle note, std::string_view name, uint16_t readFlags) {
  note_ = note;
  name_ = std::string(name);
  readFlags_ = readFlags;
  ItemInfo info;
  if (STATUS status = Notes().ItemFind(note, name, info)) return status;
  itemFlags_ = info.flags;
  first_ = info.item;
  return CreateItemValue(name_, note, info.item, readFlags, info.value, value_);
}

Status32 RewriteRichTextItem(NoteHandle note, std::string_view name, CodeLocation* location,
                             RewriteCallback callback, void* user) {
  CKVXItemMultiBinary segments;
  CKVXItemReader reader;
  Status32 status = reader.Open(note, name, kReadPlaceholder);
  std::unique_ptr<RewriteCursor> cursor;
  if (status == kNoError) {
    const RewriteArgs args{kRewriteObjectCode, location, callback, user};
    do {
      // Each segment is emitted into a buffer of its own, which the segment
      // list then keeps: no copy of the rewritten bytes before they are
      // written.
      std::unique_ptr<RecordBuffer> buffer = NewSegmentBuffer();
      if (!buffer) {
        status = kErrOutOfMemory;
        break;
      }
      status = reader.value()->Rewrite(args, *buffer, cursor);
      if (status == kNoError) status = segments.AddSegment(reader.value()->Type(), std::move(buffer));
    } while (status == kNoError && cursor);
    if (status == kStatusNothingToWrite) status = kNoError;
    else if (status == kNoError) {
      // Every old instance goes (deleted by name: finding one would copy
      // its value); the segments take their place.
      STATUS deleted = kNoError;
      while ((deleted = Notes().ItemDelete(note, name)) == kNoError) {
      }
      if (StatusCode(deleted) != kErrItemNotFound) status = deleted;
      if (status == kNoError) status = segments.Write(note, name, reader.itemFlags());
    }
  }
  if (location != nullptr) location->DropTransient();
  return status;
}

}  // namespace quillet
