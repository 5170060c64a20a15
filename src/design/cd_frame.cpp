// Frames, piece by piece.
#include "design/cd_frame.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "design/design_messages.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr uint16_t kStructFrame = 628;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kDataFlagsAt = 8;
constexpr size_t kNameLengthAt = 22;
constexpr size_t kTargetLengthAt = 26;
constexpr uint16_t kDataBorder = 0x8000;
constexpr uint16_t kDataBorderFontAndColour = 0x4000;
constexpr uint16_t kDataCaption = 0x2000;
constexpr size_t kCaptionLengthSize = 2;
constexpr int32_t kEntryFrame = 40;

// Whether the data flags put the caption formula at the start of the data.
bool HasCaptionFirst(uint16_t dataFlags) {
  return (dataFlags & kDataCaption) != 0 && (dataFlags & (kDataBorder | kDataBorderFontAndColour)) == 0;
}

}  // namespace

Status32 CKVXCDFrame::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructFrame, Data())) return status;
  std::span<const uint8_t> name, target, formula;
  if (!fixed.Piece(fixed.U16(kNameLengthAt), name) || !fixed.Piece(fixed.U16(kTargetLengthAt), target)) {
    return kErrBadCompositeRecord;
  }
  std::span<const uint8_t> rest = fixed.Rest();
  const bool captioned = HasCaptionFirst(fixed.U16(kDataFlagsAt));
  if (captioned) {
    if (rest.size() < kCaptionLengthSize || LoadU16(rest.data()) > rest.size() - kCaptionLengthSize) {
      return kErrBadCompositeRecord;
    }
    formula = rest.subspan(kCaptionLengthSize, LoadU16(rest.data()));
  }
  if (args.location != nullptr) args.location->Replace(kEntryFrame, "");

  if (Status32 status = fixed.Begin(out)) return status;
  if (Status32 status = fixed.EmitAt(kNameLengthAt, PieceKind::Text, name, args, out)) return status;
  if (Status32 status = fixed.EmitAt(kTargetLengthAt, PieceKind::Text, target, args, out)) return status;
  if (captioned) {
    const size_t lengthAt = out.length();
    if (Status32 status = out.AppendZeros(kCaptionLengthSize)) return status;
    size_t length = 0;
    if (Status32 status = fixed.Emit(PieceKind::Formula, formula, args, out, length)) return status;
    out.PutU16(lengthAt, static_cast<uint16_t>(length));
    rest = rest.subspan(kCaptionLengthSize + formula.size());
  }
  if (Status32 status = out.Append(rest)) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace quillet
