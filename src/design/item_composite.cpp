// Assembling a composite from its stored instances, and its segment-wise
// rewrite.
#include "design/item_composite.h"

#include <new>

#include "design/design_messages.h"
#include "design/item_types.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Outline values are walked here, not by the host's enumerator:
//   a header (signature 0x50) when the first word is one of the header
//   words: 74 + 2 * (u16 at +4) bytes; then entries (signature 0x51), each
//   starting with the word 72 and 72 + (u16 at +2) bytes long.
constexpr uint16_t kSigOutlineHeader = 0x50;
constexpr uint16_t kSigOutlineEntry = 0x51;
constexpr uint16_t kOutlineHeaderWords[] = {0x0101, 0x0201, 0x0301, 0x0501, 0x0601};
constexpr size_t kOutlineHeaderBase = 74;
constexpr uint16_t kOutlineEntryMark = 72;

// The iterator of a composite rewrite: the record emitted last, waiting to
// be appended, and the status that ends the rewrite.
struct CompositeCursor : RewriteCursor {
  RecordBuffer record;
  bool held = false;    // `record` holds the emitted form of record `next`
  bool stored = false;  // record `next` comes out as stored and has done its part
  size_t next = 0;
};

}  // namespace

CKVXItemComposite::~CKVXItemComposite() {
  for (CKVXCDRecord* record : records_) record->~CKVXCDRecord();  // the arena frees their memory
}

Status32 CKVXItemComposite::Add(uint16_t signature, std::span<const uint8_t> record) {
  CKVXCDRecord* made = nullptr;
  bool plain = false;
  if (Status32 status = CreateRecord(type_, signature, record, arena_, made, plain)) return status;
  records_.push_back(made);
  plain_.push_back(plain);
  return kNoError;
}

Status32 CKVXItemComposite::AddOutline(std::span<const uint8_t> data, std::span<const size_t> cuts) {
  size_t pos = 0;
  size_t cut = 0;
  // Adds the record at `pos`, noting whether a stored instance began at or
  // before it since the previous record.
  auto add = [&](uint16_t signature, size_t length) -> Status32 {
    bool starts = false;
    for (; cut < cuts.size() && cuts[cut] <= pos; ++cut) starts = true;
    if (Status32 status = Add(signature, data.subspan(pos, length))) return status;
    segmentStart_.resize(records_.size(), false);
    segmentStart_.back() = starts;
    pos += length;
    return kNoError;
  };
  if (data.size() >= 6) {
    const uint16_t first = LoadU16(data.data());
    for (uint16_t word : kOutlineHeaderWords) {
      if (first != word) continue;
      const size_t length = kOutlineHeaderBase + 2 * size_t{LoadU16(data.data() + 4)};
      if (length > data.size()) return kErrBadCompositeRecord;
      if (Status32 status = add(kSigOutlineHeader, length)) return status;
      break;
    }
  }
  while (data.size() - pos >= 4 && LoadU16(data.data() + pos) == kOutlineEntryMark) {
    const size_t length = kOutlineEntryMark + size_t{LoadU16(data.data() + pos + 2)};
    if (length > data.size() - pos) return kErrBadCompositeRecord;
    if (Status32 status = add(kSigOutlineEntry, length)) return status;
  }
  // Bytes after the last whole entry would be lost on writing back: refuse
  // the value, so that it stays as stored.
  return pos == data.size() ? kNoError : kErrBadCompositeRecord;
}

Status32 CKVXItemComposite::FinishOutline() {
  if (type_ != kTypeOutline) return kNoError;
  std::vector<uint8_t>& stream = values_.emplace_back(std::move(outline_));
  const std::vector<size_t> cuts = std::move(outlineCuts_);
  return AddOutline(stream, cuts);
}

Status32 CKVXItemComposite::AddRecords(std::span<const uint8_t> value) {
  // The host's callback carries 16-bit statuses: a failed record stops the
  // walk, and its own status is returned.
  Status32 failed = kNoError;
  const STATUS status = Notes().EnumerateCompositeRecords(
      value, [this, &failed](uint16_t signature, std::span<const uint8_t> record) -> STATUS {
        failed = Add(signature, record);
        return failed == kNoError ? kNoError : kErrInvalidArgument;
      });
  return failed != kNoError ? failed : status;
}

Status32 CKVXItemComposite::AddValue(std::vector<uint8_t>&& stored) {
  if (stored.size() < 2) return kErrBadCompositeRecord;
  const uint16_t type = LoadU16(stored.data());
  // Outline instances are parts of one stream; an item that mixes them
  // with other values is not one this library can write back.
  if ((type == kTypeOutline) != (type_ == kTypeOutline)) return kErrBadCompositeRecord;
  if (type == kTypeOutline) {
    if (!outline_.empty()) outlineCuts_.push_back(outline_.size());
    outline_.insert(outline_.end(), stored.begin() + 2, stored.end());
    return kNoError;
  }
  std::vector<uint8_t>& value = values_.emplace_back(std::move(stored));  // moving keeps the bytes where they are
  // The enumerator reads composite values only: other record-bearing types
  // are enumerated as such, their type word restored afterwards.
  StoreU16(value.data(), kTypeCompositeData);
  const Status32 status = AddRecords(value);
  StoreU16(value.data(), type);
  return status;
}

Status32 CKVXItemComposite::AddView(ItemValueView&& view) {
  const std::span<const uint8_t> value = view.value();
  if (value.size() < 2) return kErrBadCompositeRecord;
  // Only a composite value is enumerated as the host keeps it; the others
  // are read from a copy of their own (see AddValue).
  if (LoadU16(value.data()) != kTypeCompositeData) return AddValue(std::vector<uint8_t>(value.begin(), value.end()));
  if (type_ == kTypeOutline) return kErrBadCompositeRecord;  // mixed with outline instances
  views_.push_back(std::move(view));
  return AddRecords(value);
}

Status32 CKVXItemComposite::FromNote(NoteHandle note, std::string_view name, std::unique_ptr<CKVXItemComposite>& out) {
  ItemValueView view;
  if (STATUS status = Notes().ItemFindView(note, name, view)) return status;
  std::unique_ptr<CKVXItemComposite> made(new (std::nothrow) CKVXItemComposite(view.type()));
  if (!made) return kErrOutOfMemory;
  for (;;) {
    const ItemId previous = view.item();
    if (Status32 status = made->AddView(std::move(view))) return status;
    const STATUS next = Notes().ItemFindNextView(note, previous, view);
    if (StatusCode(next) == kErrItemNotFound) break;
    if (next != kNoError) return next;
  }
  if (Status32 status = made->FinishOutline()) return status;
  if (made->records_.empty()) return kErrItemNotFound;
  out = std::move(made);
  return kNoError;
}

Status32 CKVXItemComposite::FromValue(std::span<const uint8_t> value, std::unique_ptr<CKVXItemComposite>& out) {
  if (value.size() < 2) return kErrBadCompositeRecord;
  std::unique_ptr<CKVXItemComposite> made(new (std::nothrow) CKVXItemComposite(LoadU16(value.data())));
  if (!made) return kErrOutOfMemory;
  if (Status32 status = made->AddValue(std::vector<uint8_t>(value.begin(), value.end()))) return status;
  if (Status32 status = made->FinishOutline()) return status;
  out = std::move(made);
  return kNoError;
}

Status32 CKVXItemComposite::Rewrite(const RewriteArgs& args, RecordBuffer& out,
                                    std::unique_ptr<RewriteCursor>& cursor) {
  return EmitRecords(args, out, cursor);
}

Status32 CKVXItemComposite::EmitRecords(const RewriteArgs& args, RecordBuffer& out,
                                        std::unique_ptr<RewriteCursor>& cursor) const {
  if (!cursor) {
    cursor.reset(new (std::nothrow) CompositeCursor);
    if (!cursor) return kErrOutOfMemory;
  }
  auto& it = static_cast<CompositeCursor&>(*cursor);
  const size_t outStart = out.length();
  const bool padded = type_ != kTypeOutline;  // outline entries follow each other without padding
  Status32 status = kNoError;
  while (status == kNoError) {
    // An outline segment ends where its stored instance ended.
    if (!it.held && it.next < segmentStart_.size() && segmentStart_[it.next] && out.length() > outStart) {
      return kNoError;
    }
    // The next record's bytes: a plain record's stored bytes as they are
    // (no need to emit it first), any other record emitted into the
    // iterator's buffer, where it waits when it does not fit.
    std::span<const uint8_t> bytes;
    if (it.held) {
      bytes = it.record.bytes();
    } else if (it.next >= records_.size()) {
      break;
    } else if (plain_[it.next] || it.stored) {
      bytes = records_[it.next]->Data();
    } else if (records_[it.next]->UnchangedBy(args)) {
      it.stored = true;  // asked once: a record waiting for the next segment is not asked again
      bytes = records_[it.next]->Data();
    } else {
      it.record.Clear();
      status = records_[it.next]->Emit(args, it.record);
      if (status == kErrOutOfMemory) status = kErrRecordExceeds64K;  // it does not fit an empty record buffer
      if (status != kNoError) break;
      it.held = true;
      bytes = it.record.bytes();
    }
    const size_t begin = out.length();
    status = out.Append(bytes);
    if (status == kNoError && padded) status = out.PadEven(begin);
    if (status != kNoError) {
      out.Truncate(begin);  // the whole record goes to the next segment
      // A record that does not fit even an empty buffer never will.
      if (status == kErrOutOfMemory && begin > outStart) return kNoError;
      status = kErrRecordExceeds64K;
      break;
    }
    it.held = false;
    it.stored = false;
    ++it.next;
  }
  cursor.reset();
  return status;
}

Status32 EmitNestedActions(std::span<const uint8_t> data, const RewriteArgs& args, RecordBuffer& out) {
  constexpr uint16_t kSwappedActionType = 0x1000;  // some writers store the word big-endian
  if (data.size() < 2) return out.Append(data);
  std::unique_ptr<CKVXItemComposite> nested;
  Status32 status = kNoError;
  if (LoadU16(data.data()) == kSwappedActionType) {
    std::vector<uint8_t> stream(data.begin(), data.end());
    StoreU16(stream.data(), kTypeAction);
    status = CKVXItemComposite::FromValue(stream, nested);
  } else {
    status = CKVXItemComposite::FromValue(data, nested);
  }
  if (status != kNoError) return status;
  if (Status32 appended = out.Append(data.first(2))) return appended;
  std::unique_ptr<RewriteCursor> cursor;
  if (Status32 rewritten = nested->Rewrite(args, out, cursor)) return rewritten;
  return cursor ? kErrRecordExceeds64K : kNoError;
}

Status32 CKVXItemComposite::Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const {
  RecordBuffer segment;
  std::unique_ptr<RewriteCursor> cursor;
  do {
    segment.Clear();
    if (Status32 status = EmitRecords({}, segment, cursor)) return status;
    if (STATUS status = Notes().ItemAppend(note, itemFlags, name, type_, segment.bytes())) return status;
  } while (cursor);
  return kNoError;
}

}  // namespace quillet
