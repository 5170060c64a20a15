// The table-driven members of action and query items, and of rich text.
#include "design/cd_pieces.h"

#include <array>
#include <new>

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "design/item_types.h"

namespace quillet {
namespace {

constexpr PieceKind T = PieceKind::Text;
constexpr PieceKind F = PieceKind::Formula;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kFlagsAt = 4;
constexpr uint32_t kFlag2 = 0x02;
constexpr int16_t kEntrySimpleAction = 72;
constexpr int16_t kEntryQuery = 87;
constexpr int16_t kEntryEmbeddedView = 29;
constexpr int16_t kEntryTable = 48;

constexpr PieceField kModifyField[] = {{8, 2, T, 53}, {10, 2, T, 54}};
constexpr PieceField kReply[] = {{8, 2, T, 47}};
constexpr PieceField kDbCopy[] = {{8, 2, T, 44}, {10, 2, T, 45}};
constexpr PieceField kFolder[] = {{8, 2, T, 8}};
constexpr PieceField kRunAgent[] = {{8, 2, T, 55}};
constexpr PieceField kQueryByField[] = {{44, 2, T, 53}, {46, 2, T, 54}};
constexpr PieceField kQueryByFolder[] = {{8, 2, T, 8}};
constexpr PieceField kQueryTextTerm[] = {{8, 4, T, 92},  {12, 4, T, 92}, {16, 4, T, 92}, {20, 4, T, 92},
                                         {24, 4, T, 92}, {28, 4, T, 92}, {32, 4, T, 92}, {36, 4, T, 92},
                                         {40, 4, T, 92}, {44, 4, T, 92}};
// Rich text. Caption (728): 4 u16 text length. Embedded view (615): 12 u16 restriction formula length (the
// formula follows the fixed part). Table (640): 38 u16 name length. Bytes
// after the last piece are kept as stored.
constexpr PieceField kCaption[] = {{4, 2, T, 15}};
constexpr PieceField kEmbeddedView[] = {{12, 2, F, 34}};
constexpr PieceField kPreTable[] = {{38, 2, T, 0}};

struct Row {
  uint16_t signature;
  PiecesLayout layout;
};
constexpr Row kActionRows[] = {
    {0xFF82, {317, kEntrySimpleAction, 75, 0, kModifyField}},
    {0xFF83, {327, kEntrySimpleAction, 79, 0, kReply}},
    {0xFF87, {336, kEntrySimpleAction, 73, 0, kDbCopy}},
    {0xFF8C, {361, kEntrySimpleAction, 77, 0, kFolder}},
    {0xFF8D, {361, kEntrySimpleAction, 74, 0, kFolder}},
    {0xFF8E, {361, kEntrySimpleAction, 78, 0, kFolder}},
    {0xFF90, {363, kEntrySimpleAction, 81, 0, kRunAgent}},
};
constexpr Row kQueryRows[] = {
    {0xFF82, {315, kEntryQuery, 0, 0, kQueryTextTerm}},
    {0xFF83, {334, kEntryQuery, 91, 92, kQueryByField}},
    {0xFF85, {334, kEntryQuery, 91, 92, kQueryByField}},
    {0xFF88, {413, kEntryQuery, 88, 0, kQueryByFolder}},
};
constexpr Row kRichTextRows[] = {
    {0xFF76, {728, 0, 0, 0, kCaption}},
    {0xFFED, {615, kEntryEmbeddedView, 0, 0, kEmbeddedView}},
    {0xFFFB, {640, kEntryTable, 0, 0, kPreTable}},
};

size_t LengthAt(const CdFixedRecord& fixed, const PieceField& field) {
  return field.width == 4 ? fixed.U32(field.lengthAt) : fixed.U16(field.lengthAt);
}

}  // namespace

Status32 CKVXCDPieces::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  constexpr size_t kMaxPieces = std::size(kQueryTextTerm);
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(layout_.structure, Data())) return status;
  std::array<std::span<const uint8_t>, kMaxPieces> pieces;
  if (layout_.pieces.size() > pieces.size()) return kErrBadCompositeRecord;
  for (size_t i = 0; i < layout_.pieces.size(); ++i) {
    if (!fixed.Piece(LengthAt(fixed, layout_.pieces[i]), pieces[i])) return kErrBadCompositeRecord;
  }
  CodeLocation* location = args.location;
  if (location != nullptr && layout_.replaceKind != 0) location->Replace(layout_.replaceKind, "");
  const bool flag2 = (fixed.U32(kFlagsAt) & kFlag2) != 0;
  const int16_t push = flag2 && layout_.pushKindFlag2 != 0 ? layout_.pushKindFlag2 : layout_.pushKind;
  const ScopedEntry pushed(location, push);

  if (Status32 status = fixed.Begin(out)) return status;
  for (size_t i = 0; i < layout_.pieces.size(); ++i) {
    const PieceField& field = layout_.pieces[i];
    SetCodeKind(location, field.codeKind);
    size_t length = 0;
    if (Status32 status = fixed.Emit(field.kind, pieces[i], args, out, length)) return status;
    if (field.width == 4) fixed.SetU32(field.lengthAt, static_cast<uint32_t>(length));
    else fixed.SetU16(field.lengthAt, static_cast<uint16_t>(length));
  }
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

bool MakePiecesMember(uint16_t itemType, uint16_t signature, std::span<const uint8_t> record, RecordArena& arena,
                      CKVXCDRecord*& made) {
  const std::span<const Row> rows = itemType == kTypeQuery    ? std::span<const Row>(kQueryRows)
                                    : itemType == kTypeAction ? std::span<const Row>(kActionRows)
                                                              : std::span<const Row>(kRichTextRows);
  for (const Row& row : rows) {
    if (row.signature != signature) continue;
    made = MakeRecord<CKVXCDPieces>(arena, signature, record, row.layout);
    return true;
  }
  return false;
}

}  // namespace quillet
