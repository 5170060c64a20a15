// Resource links, piece by piece.
#include "design/cd_href.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"

namespace quillet {
namespace {

// Resource (structure 631, 26 bytes): 4 u32 flags, 8 u16 link type,
// 10 u16 resource class, 12 u16 length of the type's piece, 14 u16 server
// hint length, 16 u16 file hint length, 18 reserved.
constexpr uint16_t kStructResource = 631;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kFlagsAt = 4;
constexpr size_t kTypeAt = 8;
constexpr size_t kPieceLengthAt = 12;
constexpr size_t kServerHintLengthAt = 14;
constexpr size_t kFileHintLengthAt = 16;
constexpr uint32_t kFlagFormula = 0x1;
constexpr uint32_t kFlagInlineNoteLink = 0x2;

constexpr uint16_t kTypeUrl = 1;
constexpr uint16_t kTypeNoteLink = 2;
constexpr uint16_t kTypeNamedElement = 3;
constexpr size_t kLinkIndexSize = 2;   // index into the note's links
constexpr size_t kNoteLinkSize = 40;   // replica ID, view and note IDs
constexpr size_t kReplicaIdSize = 8;

// Table cell images name their place apart from other resources.
constexpr uint16_t kSigTableCellHRef = 0xFF78;
constexpr uint16_t kSigTableCellHRef2 = 0xFF5A;
constexpr int32_t kEntryResource = 26;
constexpr int32_t kEntryTableCellGraphic = 86;

constexpr int32_t kCodeKindFormula = 4;
constexpr int32_t kCodeKindUrl = 24;
constexpr int32_t kCodeKindNamedElement = 25;
constexpr int32_t kCodeKindNoteLink = 26;
constexpr int32_t kCodeKindServerHint = 27;
constexpr int32_t kCodeKindFileHint = 28;

// Emits a piece named by `codeKind` and stores its new length at `lengthAt`.
Status32 EmitNamed(CdFixedRecord& fixed, size_t lengthAt, PieceKind kind, int32_t codeKind,
                   std::span<const uint8_t> piece, const RewriteArgs& args, RecordBuffer& out) {
  SetCodeKind(args.location, codeKind);
  return fixed.EmitAt(lengthAt, kind, piece, args, out);
}

}  // namespace

Status32 CKVXCDHRef::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructResource, Data())) return status;
  std::span<const uint8_t> server, file, prefix, piece;
  if (!fixed.Piece(fixed.U16(kServerHintLengthAt), server) || !fixed.Piece(fixed.U16(kFileHintLengthAt), file)) {
    return kErrBadCompositeRecord;
  }
  const uint32_t flags = fixed.U32(kFlagsAt);
  const uint16_t type = fixed.U16(kTypeAt);
  const bool formula = (flags & kFlagFormula) != 0;
  PieceKind kind = PieceKind::Text;
  int32_t codeKind = 0;
  size_t prefixSize = 0;
  switch (type) {
    case kTypeUrl:
      kind = formula ? PieceKind::Formula : PieceKind::Text;
      codeKind = formula ? kCodeKindFormula : kCodeKindUrl;
      break;
    case kTypeNoteLink:
      prefixSize = (flags & kFlagInlineNoteLink) != 0 ? kNoteLinkSize : kLinkIndexSize;
      codeKind = kCodeKindNoteLink;
      break;
    case kTypeNamedElement:
      prefixSize = kReplicaIdSize;
      kind = formula ? PieceKind::Formula : PieceKind::Text;
      codeKind = formula ? kCodeKindFormula : kCodeKindNamedElement;
      break;
    default: break;  // no piece of its own: kept with the rest
  }
  const bool hasPiece = codeKind != 0;
  if (hasPiece && (!fixed.Piece(prefixSize, prefix) || !fixed.Piece(fixed.U16(kPieceLengthAt), piece))) {
    return kErrBadCompositeRecord;
  }
  if (args.location != nullptr) {
    const uint16_t sig = Signature();
    args.location->Replace(sig == kSigTableCellHRef || sig == kSigTableCellHRef2 ? kEntryTableCellGraphic
                                                                                   : kEntryResource,
                           "");
  }
  if (Status32 status = fixed.Begin(out)) return status;
  if (Status32 status = EmitNamed(fixed, kServerHintLengthAt, PieceKind::Text, kCodeKindServerHint, server, args, out)) {
    return status;
  }
  if (Status32 status = EmitNamed(fixed, kFileHintLengthAt, PieceKind::Text, kCodeKindFileHint, file, args, out)) {
    return status;
  }
  if (hasPiece) {
    if (Status32 status = out.Append(prefix)) return status;
    if (Status32 status = EmitNamed(fixed, kPieceLengthAt, kind, codeKind, piece, args, out)) return status;
  }
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace quillet
