// Fixed parts and bounded pieces of composite-data records.
#include "design/cd_fixed.h"

#include <cassert>

#include "config/notes_api.h"
#include "design/design_messages.h"
#include "design/structures.h"
#include "util/bytes.h"

namespace quillet {

Status32 CdFixedRecord::Read(uint16_t code, std::span<const uint8_t> record) {
  StructureSizes sizes;
  if (Status32 status = StructureSize(code, sizes)) return status;
  if (record.size() < sizes.onDisk) return kErrBadCompositeRecord;
  if (sizes.host > kMaxHostSize) return kErrBufferTooSmall;
  hostSize_ = sizes.host;
  if (Status32 status = StructureFromDisk(code, record, Host())) return status;
  code_ = code;
  record_ = record;
  pos_ = sizes.onDisk;
  return kNoError;
}

// Fields are read and written at their offsets in the packed layout, which
// is the host form of every host this library runs on.
uint16_t CdFixedRecord::U16(size_t at) const {
  assert(at + 2 <= hostSize_);
  return at + 2 <= hostSize_ ? LoadU16(host_.data() + at) : 0;
}
uint32_t CdFixedRecord::U32(size_t at) const {
  assert(at + 4 <= hostSize_);
  return at + 4 <= hostSize_ ? LoadU32(host_.data() + at) : 0;
}
void CdFixedRecord::SetU16(size_t at, uint16_t value) {
  if (at + 2 <= hostSize_) StoreU16(host_.data() + at, value);
}
void CdFixedRecord::SetU32(size_t at, uint32_t value) {
  if (at + 4 <= hostSize_) StoreU32(host_.data() + at, value);
}

bool CdFixedRecord::Piece(size_t length, std::span<const uint8_t>& piece) {
  if (length > record_.size() - pos_) return false;
  piece = record_.subspan(pos_, length);
  pos_ += length;
  return true;
}

Status32 CdFixedRecord::Begin(RecordBuffer& out) {
  start_ = out.length();
  return out.AppendStruct(code_, Host());
}

Status32 CdFixedRecord::Emit(PieceKind kind, std::span<const uint8_t> piece, const RewriteArgs& args,
                             RecordBuffer& out, size_t& length) {
  if (Status32 status = EmitCodePiece(kind, piece, args, out, length)) return status;
  return length > 0xFFFF ? kErrRecordExceeds64K : kNoError;
}

Status32 CdFixedRecord::EmitAt(size_t lengthAt, PieceKind kind, std::span<const uint8_t> piece,
                               const RewriteArgs& args, RecordBuffer& out) {
  size_t length = 0;
  if (Status32 status = Emit(kind, piece, args, out, length)) return status;
  SetU16(lengthAt, static_cast<uint16_t>(length));
  return kNoError;
}

Status32 CdFixedRecord::Finish(RecordBuffer& out, size_t lengthAt) {
  SetU16(lengthAt, static_cast<uint16_t>(out.length() - start_));
  return out.PutStruct(start_, code_, Host());
}

Status32 CdFixedRecord::Rewrite(RecordBuffer& out) const { return out.PutStruct(start_, code_, Host()); }

Status32 CdFixedRecord::FinishLong(RecordBuffer& out, size_t lengthAt) {
  SetU32(lengthAt, static_cast<uint32_t>(out.length() - start_));
  return out.PutStruct(start_, code_, Host());
}

Status32 CdFixedRecord::Copy(std::span<const uint8_t> bytes, RecordBuffer& out, size_t& length) {
  if (Status32 status = out.Append(bytes)) return status;
  length = bytes.size();
  return kNoError;
}

}  // namespace quillet
