// Object code in rich text: handed to the callback, header fixed after.
#include "design/cd_lsobject.h"

#include <array>

#include "config/notes_api.h"
#include "design/code_location.h"
#include "design/structures.h"
#include "util/bytes.h"

namespace quillet {
namespace {
constexpr size_t kHeaderSize = 12;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kCodeSizeAt = 4;
constexpr int32_t kCodeKindScript = 9;  // the piece is named as script, whatever the record before it set
}  // namespace

Status32 CKVXCDLSObject::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  const std::span<const uint8_t> record = Data();
  std::array<uint8_t, kHeaderSize> header{};
  if (record.size() < kHeaderSize) return kErrBadCompositeRecord;
  if (Status32 status = StructureFromDisk(kStructLsObject, record, header)) return status;
  const size_t start = out.length();
  if (Status32 status = out.AppendStruct(kStructLsObject, header)) return status;
  size_t codeSize = 0;
  SetCodeKind(args.location, kCodeKindScript);
  if (Status32 status = EmitPiece(PieceKind::ObjectCode, record.subspan(kHeaderSize), args, out, codeSize)) {
    return status;
  }
  StoreU32(header.data() + kCodeSizeAt, static_cast<uint32_t>(codeSize));
  StoreU16(header.data() + kRecordLengthAt, static_cast<uint16_t>(out.length() - start));
  return out.PutStruct(start, kStructLsObject, header);
}

}  // namespace quillet
