// Binary, formula, placeholder and segment-list values.
#include "design/item_value.h"

#include <new>

#include "design/code_piece.h"
#include "design/design_messages.h"

namespace quillet {

Status32 CKVXItemBinary::Rewrite(const RewriteArgs& /*args*/, RecordBuffer& out,
                                 std::unique_ptr<RewriteCursor>& /*cursor*/) {
  return out.Append(bytes_);
}

Status32 CKVXItemBinary::Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const {
  return Notes().ItemAppend(note, itemFlags, name, type_, bytes_);
}

Status32 CKVXItemFormula::Rewrite(const RewriteArgs& args, RecordBuffer& out,
                                  std::unique_ptr<RewriteCursor>& /*cursor*/) {
  size_t length = 0;
  return EmitCodePiece(PieceKind::Formula, bytes(), args, out, length);
}

Status32 CKVXItemNullEnum::Rewrite(const RewriteArgs&, RecordBuffer&, std::unique_ptr<RewriteCursor>&) {
  return kStatusNothingToWrite;
}

Status32 CKVXItemLSObject::Rewrite(const RewriteArgs& args, RecordBuffer& out,
                                   std::unique_ptr<RewriteCursor>& /*cursor*/) {
  size_t length = 0;
  if (SelectsPiece(args, PieceKind::ObjectCode)) {
    if (Status32 status = EmitPiece(PieceKind::ObjectCode, {}, args, out, length)) return status;
  }
  return kStatusNothingToWrite;
}

namespace {
struct SegmentCursor : RewriteCursor {
  size_t next = 0;
};
}  // namespace

Status32 CKVXItemMultiBinary::AddSegment(uint16_t type, std::unique_ptr<RecordBuffer> buffer) {
  if (!buffer) return kErrOutOfMemory;
  try {
    segments_.push_back(std::move(buffer));
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  if (segments_.size() == 1) type_ = type;
  return kNoError;
}

Status32 CKVXItemMultiBinary::Rewrite(const RewriteArgs& /*args*/, RecordBuffer& out,
                                      std::unique_ptr<RewriteCursor>& cursor) {
  if (!cursor) {
    cursor.reset(new (std::nothrow) SegmentCursor);
    if (!cursor) return kErrOutOfMemory;
  }
  auto& at = static_cast<SegmentCursor&>(*cursor);
  Status32 status = kNoError;
  if (at.next < segments_.size()) status = out.Append(segments_[at.next++]->bytes());
  if (status != kNoError || at.next >= segments_.size()) cursor.reset();
  return status;
}

Status32 CKVXItemMultiBinary::Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const {
  for (const auto& segment : segments_) {
    if (STATUS status = Notes().ItemAppend(note, itemFlags, name, type_, segment->bytes())) return status;
  }
  return kNoError;
}

}  // namespace quillet
