// The value factory, the item reader and the rich-text rewrite.
#include "design/item_reader.h"

#include <new>
#include <vector>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_composite.h"
#include "design/item_lstext.h"
#include "design/item_text.h"
#include "design/item_types.h"
#include "design/segment_pool.h"

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

// Emits the rewritten item `name` into `segments`, each segment in a buffer
// of its own, which the list then keeps: no copy of the rewritten bytes
// before they are written. The item is read in place; the reader, and with
// it every value it holds, is gone on return, so that the note may change.
Status32 EmitSegments(NoteHandle note, std::string_view name, const RewriteArgs& args,
                      CKVXItemMultiBinary& segments, uint16_t& itemFlags) {
  CKVXItemReader reader;
  if (Status32 status = reader.Open(note, name, kReadPlaceholder)) return status;
  itemFlags = reader.itemFlags();
  std::unique_ptr<RewriteCursor> cursor;
  Status32 status = kNoError;
  do {
    std::unique_ptr<RecordBuffer> buffer = SegmentPool::Take();
    if (!buffer) return kErrOutOfMemory;
    status = reader.value()->Rewrite(args, *buffer, cursor);
    if (status == kNoError) {
      status = segments.AddSegment(reader.value()->Type(), std::move(buffer));
    } else {
      SegmentPool::Give(std::move(buffer));
    }
  } while (status == kNoError && cursor);
  return status;
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
  ItemValueView further;  // only whether there is one
  if (type == kTypeLsObject || ((readFlags & kReadTextAsObjectCode) != 0 && type == kTypeText)) {
    made = new (std::nothrow) CKVXItemLSObject;
  } else if (Notes().ItemFindNextView(note, instance, further) == kNoError &&
             (readFlags & kReadFirstInstanceOnly) == 0) {
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
  // The first instance is read in place: every value made from it keeps
  // a copy, or holds views of its own.
  ItemValueView first;
  if (STATUS status = Notes().ItemFindView(note, name, first)) return status;
  itemFlags_ = first.flags();
  first_ = first.item();
  return CreateItemValue(name_, note, first.item(), readFlags, first.value(), value_);
}

namespace {

// The instances of `name` in stored order (views are released at once).
Status32 InstanceIds(NoteHandle note, std::string_view name, std::vector<ItemId>& ids) {
  ItemValueView view;
  STATUS status = Notes().ItemFindView(note, name, view);
  while (status == kNoError) {
    const ItemId item = view.item();
    ids.push_back(item);
    view = ItemValueView();
    status = Notes().ItemFindNextView(note, item, view);
  }
  return StatusCode(status) == kErrItemNotFound ? kNoError : status;
}

// The new segments are appended after the old instances before any old one
// goes, so a failed append leaves the item as it was stored: the appended
// part is taken away again and the old instances are untouched.
Status32 ReplaceInstances(NoteHandle note, std::string_view name, const CKVXItemMultiBinary& segments,
                          uint16_t itemFlags) {
  std::vector<ItemId> old;
  if (Status32 status = InstanceIds(note, name, old)) return status;
  if (Status32 written = segments.Write(note, name, itemFlags)) {
    std::vector<ItemId> now;
    if (InstanceIds(note, name, now) == kNoError) {
      for (size_t i = old.size(); i < now.size(); ++i) (void)Notes().ItemDeleteById(note, now[i]);
    }
    return written;
  }
  for (const ItemId item : old) {
    if (STATUS deleted = Notes().ItemDeleteById(note, item)) return deleted;
  }
  return kNoError;
}

}  // namespace

Status32 RewriteRichTextItem(NoteHandle note, std::string_view name, CodeLocation* location,
                             RewriteCallback callback, void* user) {
  CKVXItemMultiBinary segments;
  uint16_t itemFlags = 0;
  const RewriteArgs args{kRewriteObjectCode, location, callback, user};
  Status32 status = EmitSegments(note, name, args, segments, itemFlags);
  if (status == kStatusNothingToWrite) {
    status = kNoError;
  } else if (status == kNoError) {
    status = ReplaceInstances(note, name, segments, itemFlags);
  }
  for (std::unique_ptr<RecordBuffer>& segment : segments.TakeSegments()) SegmentPool::Give(std::move(segment));
  if (location != nullptr) location->DropTransient();
  return status;
}

}  // namespace quillet
