// The table-driven members of action and query items.
#include "design/cd_pieces.h"

#include <array>
#include <new>

#include "design/cd_fixed.h"
#include "design/code_location.h"

namespace quillet {
namespace {

constexpr PieceKind T = PieceKind::Text;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kFlagsAt = 4;
constexpr uint32_t kFlag2 = 0x02;
constexpr int16_t kEntrySimpleAction = 72;
constexpr int16_t kEntryQuery = 87;

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

size_t LengthAt(const CdFixedRecord& fixed, const PieceField& field) {
  return field.width == 4 ? fixed.U32(field.lengthAt) : fixed.U16(field.lengthAt);
}

// Pops the pushed entry whatever the outcome of the record.
struct PushedEntry {
  CodeLocation* location;
  ~PushedEntry() {
    if (location != nullptr) location->Pop();
  }
};

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
  if (location != nullptr && push != 0) location->Push(push, "");
  const PushedEntry pushed{push != 0 ? location : nullptr};

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

bool MakePiecesMember(bool query, uint16_t signature, std::span<const uint8_t> record, RecordArena& arena,
                      CKVXCDRecord*& made) {
  const std::span<const Row> rows = query ? std::span<const Row>(kQueryRows) : std::span<const Row>(kActionRows);
  for (const Row& row : rows) {
    if (row.signature != signature) continue;
    made = MakeRecord<CKVXCDPieces>(arena, signature, record, row.layout);
    return true;
  }
  return false;
}

}  // namespace quillet
