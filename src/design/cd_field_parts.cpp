// Extended field attributes, field hints and section title bars.
#include "design/cd_field_parts.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr size_t kRecordLengthAt = 2;

// Extended field (structure 342, 20 bytes): 8 u32 second flags, 14 u16
// database name length, 16 u16 view name length.
constexpr uint16_t kStructExtField = 342;
constexpr size_t kExtFlags2At = 8;
constexpr size_t kDatabaseNameLengthAt = 14;
constexpr size_t kViewNameLengthAt = 16;
constexpr uint32_t kHtmlInFieldDef = 0x2;
constexpr size_t kHtmlBlockSize = 4;  // u16 formula length, u16 spare
constexpr int32_t kCodeKindDatabase = 64;
constexpr int32_t kCodeKindView = 65;
constexpr int32_t kCodeKindHtml = 67;

// Bar (structure 308, 12 bytes): 4 u32 flags.
constexpr uint16_t kStructBar = 308;
constexpr size_t kBarFlagsAt = 4;
constexpr uint32_t kBarTitleFormula = 0x00002000;
constexpr uint32_t kBarHasColour = 0x04000000;
constexpr size_t kColourSize = 2;
constexpr int32_t kCodeKindTitle = 13;

// Field hint (structure 742, 14 bytes): 4 u16 hint length, 6 u16 flags; the
// hint follows. Flag 0x0001: the hint of a field that holds limited rich
// text.
constexpr uint16_t kStructFieldHint = 742;
constexpr size_t kHintLengthAt = 4;
constexpr size_t kHintFlagsAt = 6;
constexpr uint16_t kHintLimited = 0x0001;
constexpr int32_t kCodeKindHint = 94;
constexpr int32_t kCodeKindLimitedHint = 102;

}  // namespace

Status32 CKVXCDExtField::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructExtField, Data())) return status;
  std::span<const uint8_t> database, view, html, formula;
  if (!fixed.Piece(fixed.U16(kDatabaseNameLengthAt), database) || !fixed.Piece(fixed.U16(kViewNameLengthAt), view)) {
    return kErrBadCompositeRecord;
  }
  // Older releases leave the formula out: then the rest is kept as it is.
  const std::span<const uint8_t> rest = fixed.Rest();
  const bool hasFormula = (fixed.U32(kExtFlags2At) & kHtmlInFieldDef) != 0 && rest.size() >= kHtmlBlockSize &&
                          rest.size() - kHtmlBlockSize >= LoadU16(rest.data());
  if (hasFormula && (!fixed.Piece(kHtmlBlockSize, html) || !fixed.Piece(LoadU16(html.data()), formula))) {
    return kErrBadCompositeRecord;
  }
  if (Status32 status = fixed.Begin(out)) return status;
  SetCodeKind(args.location, kCodeKindDatabase);
  if (Status32 status = fixed.EmitAt(kDatabaseNameLengthAt, PieceKind::Text, database, args, out)) return status;
  SetCodeKind(args.location, kCodeKindView);
  if (Status32 status = fixed.EmitAt(kViewNameLengthAt, PieceKind::Text, view, args, out)) return status;
  if (hasFormula) {
    const size_t blockAt = out.length();
    if (Status32 status = out.Append(html)) return status;
    SetCodeKind(args.location, kCodeKindHtml);
    size_t length = 0;
    if (Status32 status = fixed.Emit(PieceKind::Formula, formula, args, out, length)) return status;
    out.PutU16(blockAt, static_cast<uint16_t>(length));
  }
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

Status32 CKVXCDBar::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructBar, Data())) return status;
  const uint32_t flags = fixed.U32(kBarFlagsAt);
  std::span<const uint8_t> colour;
  if ((flags & kBarHasColour) != 0 && !fixed.Piece(kColourSize, colour)) return kErrBadCompositeRecord;
  if (Status32 status = fixed.Begin(out)) return status;
  if (Status32 status = out.Append(colour)) return status;
  SetCodeKind(args.location, kCodeKindTitle);
  const PieceKind kind = (flags & kBarTitleFormula) != 0 ? PieceKind::Formula : PieceKind::Text;
  size_t length = 0;
  if (Status32 status = fixed.Emit(kind, fixed.Rest(), args, out, length)) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

Status32 CKVXCDFieldHint::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructFieldHint, Data())) return status;
  std::span<const uint8_t> hint;
  if (!fixed.Piece(fixed.U16(kHintLengthAt), hint)) return kErrBadCompositeRecord;
  const bool limited = (fixed.U16(kHintFlagsAt) & kHintLimited) != 0;
  SetCodeKind(args.location, limited ? kCodeKindLimitedHint : kCodeKindHint);
  if (Status32 status = fixed.Begin(out)) return status;
  if (Status32 status = fixed.EmitAt(kHintLengthAt, PieceKind::Text, hint, args, out)) return status;
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace quillet
