// Outline entries, piece by piece.
#include "design/cd_outline_entry.h"

#include <array>

#include "config/notes_api.h"
#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_types.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr uint16_t kStructOutlineEntry = 702;
constexpr size_t kFixedSize = 72;
constexpr size_t kVariableSizeAt = 2;
constexpr size_t kTypeWordSize = 2;

struct EntryPiece {
  uint8_t sizeAt;
  int16_t codeKind;
};
// In stored order. Title (code kind 13) and hide-when formula (7) name
// their place; the others leave the code kind unset.
constexpr EntryPiece kPieces[] = {{16, 13}, {20, 0}, {24, 0}, {28, 0}, {32, 7}, {36, 0},
                                  {22, 0},  {50, 0}, {56, 0}, {58, 0}, {18, 0}};
constexpr int32_t kEntryOutlineEntry = 97;

// Emits one piece: its type word, then its data through the code-piece rule
// when the word says formula or text, else the data as it is.
Status32 EmitEntryPiece(std::span<const uint8_t> piece, const RewriteArgs& args, RecordBuffer& out, size_t& length) {
  if (piece.size() < kTypeWordSize) return CdFixedRecord::Copy(piece, out, length);
  const uint16_t type = LoadU16(piece.data());
  if (type != kTypeFormula && type != kTypeText) return CdFixedRecord::Copy(piece, out, length);
  const PieceKind kind = type == kTypeFormula ? PieceKind::Formula : PieceKind::Text;
  if (Status32 status = out.Append(piece.first(kTypeWordSize))) return status;
  size_t data = 0;
  if (Status32 status = EmitCodePiece(kind, piece.subspan(kTypeWordSize), args, out, data)) return status;
  length = kTypeWordSize + data;
  return kNoError;
}

}  // namespace

Status32 CKVXCDOutlineEntry::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructOutlineEntry, Data())) return status;
  std::array<std::span<const uint8_t>, std::size(kPieces)> pieces;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (!fixed.Piece(fixed.U16(kPieces[i].sizeAt), pieces[i])) return kErrBadCompositeRecord;
  }
  if (args.location != nullptr) args.location->Replace(kEntryOutlineEntry, "");
  const size_t start = out.length();
  if (Status32 status = fixed.Begin(out)) return status;
  for (size_t i = 0; i < pieces.size(); ++i) {
    SetCodeKind(args.location, kPieces[i].codeKind);
    size_t length = 0;
    if (Status32 status = EmitEntryPiece(pieces[i], args, out, length)) return status;
    if (length > 0xFFFF) return kErrRecordExceeds64K;
    fixed.SetU16(kPieces[i].sizeAt, static_cast<uint16_t>(length));
  }
  if (Status32 status = out.Append(fixed.Rest())) return status;
  const size_t variable = out.length() - start - kFixedSize;
  if (variable > 0xFFFF) return kErrRecordExceeds64K;
  fixed.SetU16(kVariableSizeAt, static_cast<uint16_t>(variable));
  return fixed.Rewrite(out);
}

}  // namespace quillet
