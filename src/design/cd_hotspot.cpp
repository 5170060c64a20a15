// Hotspots: their data by type and flags, nested action records rewritten
// as a composite of their own.
#include "design/cd_hotspot.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_composite.h"

namespace quillet {
namespace {

// Hotspot begin (structure 230):
//   0  u16 signature   2  u16 record length   4  u16 type
//   6  u32 flags       10 u16 data length     12 data
constexpr uint16_t kStructHotspot = 230;
constexpr size_t kHotspotLengthAt = 2;
constexpr size_t kHotspotTypeAt = 4;
constexpr size_t kHotspotFlagsAt = 6;
constexpr size_t kHotspotDataLengthAt = 10;

constexpr uint32_t kFlagFormula = 0x10;
constexpr uint32_t kFlagAction = 0x80;
constexpr uint32_t kFlagScript = 0x100;
constexpr uint32_t kFlagINotes = 0x1000;

enum class Data { Copy, Formula, Text, Script, FormulaOrText, ScriptOrFormula, Nested, EmbeddedObject };

struct Handling {
  Data data = Data::Copy;
  int32_t entryKind = 0;
};

Handling HandlingOf(uint16_t type, uint32_t flags) {
  switch (type) {
    case 1: return {Data::FormulaOrText, 8};    // popup
    case 14: return {Data::FormulaOrText, 10};  // subform
    default: break;
  }
  if ((flags & kFlagAction) != 0) return {Data::Nested, 0};
  switch (type) {
    case 3: return {Data::ScriptOrFormula, 2};  // button
    case 2:                                      // hot region
      if ((flags & kFlagFormula) != 0) return {Data::Formula, 5};
      if ((flags & kFlagScript) != 0) return {Data::Script, 5};
      return {};
    case 11: return (flags & kFlagINotes) != 0 ? Handling{Data::Text, 12} : Handling{};  // link
    case 22: return {Data::FormulaOrText, 55};   // mouse-over
    case 27: return {Data::FormulaOrText, 30};   // embedded outline
    case 19: return {Data::FormulaOrText, 29};   // embedded view
    case 21: return {Data::FormulaOrText, 32};   // embedded navigator
    case 15: return {Data::EmbeddedObject, 0};
    default: return {};  // the rest are copied
  }
}

}  // namespace

Status32 CKVXCDHotspotBegin::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructHotspot, Data())) return status;
  const uint32_t flags = fixed.U32(kHotspotFlagsAt);
  const Handling handling = HandlingOf(fixed.U16(kHotspotTypeAt), flags);
  if (handling.data == Data::Copy) return CopyRaw(out);
  std::span<const uint8_t> data;
  if (!fixed.Piece(fixed.U16(kHotspotDataLengthAt), data)) return kErrBadCompositeRecord;

  if (handling.entryKind != 0 && args.location != nullptr) args.location->Replace(handling.entryKind, "");
  PieceKind kind = PieceKind::Text;
  switch (handling.data) {
    case Data::Formula: kind = PieceKind::Formula; break;
    case Data::Script: kind = PieceKind::Script; break;
    case Data::FormulaOrText: kind = (flags & kFlagFormula) != 0 ? PieceKind::Formula : PieceKind::Text; break;
    case Data::ScriptOrFormula: kind = (flags & kFlagScript) != 0 ? PieceKind::Script : PieceKind::Formula; break;
    default: break;
  }
  SetCodeKind(args.location, kind == PieceKind::Formula ? 4 : kind == PieceKind::Script ? 9 : 12);

  if (Status32 status = fixed.Begin(out)) return status;
  const size_t dataStart = out.length();
  size_t length = 0;
  if (handling.data == Data::Nested || handling.data == Data::EmbeddedObject) {
    const Status32 status = handling.data == Data::Nested ? EmitNestedActions(data, args, out)
                                                          : EmitEmbeddedObject(data, args, out);
    if (status != kNoError) return status;
    length = out.length() - dataStart;
  } else if (Status32 status = fixed.Emit(kind, data, args, out, length)) {
    return status;
  }
  if (length > 0xFFFF) return kErrRecordExceeds64K;
  fixed.SetU16(kHotspotDataLengthAt, static_cast<uint16_t>(length));
  fixed.SetU32(kHotspotFlagsAt, flags & ~kHotspotSigned);
  return fixed.Finish(out, kHotspotLengthAt);
}

// --- Fields ----------------------------------------------------------------------

namespace {

// Field (structure 118): the lengths of its pieces, in stored order.
constexpr uint16_t kStructField = 118;
constexpr size_t kFieldLengthAt = 2;
constexpr size_t kFieldFlagsAt = 4;
constexpr size_t kFieldDefaultLengthAt = 22;
constexpr size_t kFieldTranslationLengthAt = 24;
constexpr size_t kFieldValidationLengthAt = 28;
constexpr size_t kFieldNameLengthAt = 30;
constexpr size_t kFieldDescriptionLengthAt = 32;
constexpr size_t kFieldKeywordsLengthAt = 34;
constexpr uint16_t kFieldSectionFlag = 0x20;
constexpr size_t kKeywordListHeader = 2;  // entry count; 0 with more bytes: a keyword formula follows

struct FieldPiece {
  size_t lengthAt;
  PieceKind kind;
  int32_t codeKind;
};
constexpr FieldPiece kFieldPieces[] = {
    {kFieldDefaultLengthAt, PieceKind::Formula, 63},
    {kFieldTranslationLengthAt, PieceKind::Formula, 68},
    {kFieldValidationLengthAt, PieceKind::Formula, 69},
    {kFieldNameLengthAt, PieceKind::Text, 8},
    {kFieldDescriptionLengthAt, PieceKind::Text, 66},
};
constexpr int32_t kCodeKindKeywords = 70;

}  // namespace

Status32 CKVXCDField::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructField, Data())) return status;
  std::span<const uint8_t> pieces[std::size(kFieldPieces)], keywords;
  for (size_t i = 0; i < std::size(kFieldPieces); ++i) {
    if (!fixed.Piece(fixed.U16(kFieldPieces[i].lengthAt), pieces[i])) return kErrBadCompositeRecord;
  }
  if (!fixed.Piece(fixed.U16(kFieldKeywordsLengthAt), keywords)) return kErrBadCompositeRecord;

  if (args.location != nullptr) {
    const std::string name(pieces[3].begin(), pieces[3].end());
    const int32_t fieldKind = (fixed.U16(kFieldFlagsAt) & kFieldSectionFlag) != 0 ? 9 : 4;
    if (args.location->MatchTop(fieldKind, name) != kNoError) args.location->DropTransient();
  }
  if (Status32 status = fixed.Begin(out)) return status;
  for (size_t i = 0; i < std::size(kFieldPieces); ++i) {
    SetCodeKind(args.location, kFieldPieces[i].codeKind);
    size_t length = 0;
    if (Status32 status = fixed.Emit(kFieldPieces[i].kind, pieces[i], args, out, length)) return status;
    fixed.SetU16(kFieldPieces[i].lengthAt, static_cast<uint16_t>(length));
  }
  SetCodeKind(args.location, kCodeKindKeywords);
  const bool keywordFormula = keywords.size() > kKeywordListHeader && keywords[0] == 0 && keywords[1] == 0;
  size_t length = keywords.size();
  if (keywordFormula) {
    if (Status32 status = out.Append(keywords.first(kKeywordListHeader))) return status;
    if (Status32 status = fixed.Emit(PieceKind::Formula, keywords.subspan(kKeywordListHeader), args, out, length)) {
      return status;
    }
    length += kKeywordListHeader;
  } else if (Status32 status = out.Append(keywords)) {  // a text list: copied
    return status;
  }
  if (length > 0xFFFF) return kErrRecordExceeds64K;
  fixed.SetU16(kFieldKeywordsLengthAt, static_cast<uint16_t>(length));
  if (Status32 status = out.Append(fixed.Rest())) return status;  // whatever follows is kept
  return fixed.Finish(out, kFieldLengthAt);
}

// --- Hide-when formulas --------------------------------------------------------------

Status32 CKVXCDPABHide::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  constexpr uint16_t kStructPabHide = 358;
  constexpr int32_t kCodeKindHideFormula = 7;
  constexpr size_t kPabHideLengthAt = 2;
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructPabHide, Data())) return status;
  SetCodeKind(args.location, kCodeKindHideFormula);
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  if (Status32 status = fixed.Emit(PieceKind::Formula, fixed.Rest(), args, out, length)) return status;
  return fixed.Finish(out, kPabHideLengthAt);
}

}  // namespace quillet
