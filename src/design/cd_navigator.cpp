// Navigator shapes and click actions.
#include "design/cd_navigator.h"

#include <new>
#include <string>

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Byte-length shapes start with the 50-byte drawing object, word-length
// ones with its 52-byte form; the name length sits at 20 and 22.
constexpr size_t kNameLengthByteShape = 20;
constexpr size_t kNameLengthWordShape = 22;

// Action record (structure 325).
constexpr uint16_t kStructViewMapAction = 325;
constexpr size_t kActionRecordLengthAt = 2;
constexpr size_t kActionTypeAt = 12;
constexpr size_t kActionStringLengthAt = 14;
constexpr size_t kActionExtDataLengthAt = 60;

struct ShapeKind {
  uint16_t signature;
  uint16_t structure;
  int32_t entryKind;
};
constexpr ShapeKind kShapes[] = {
    {0xB0, 321, 14},    // bitmap
    {0xB1, 320, 20},    // rectangle
    {0xB6, 320, 17},    // ellipse
    {0xB8, 320, 22},    // rounded rectangle
    {0xB9, 320, 15},    // button
    {0xB2, 323, 18},    // polygon (byte form)
    {0xC0, 323, 18},    // polygon region (byte form)
    {0xB3, 324, 19},    // polyline (byte form)
    {0xB4, 322, 21},    // hotspot region
    {0xBF, 322, 16},    // circle
    {0xFFBB, 464, 23},  // text box
    {0xFFBC, 551, 18},  // polygon
    {0xFFBE, 551, 18},  // polygon region
    {0xFFBD, 552, 19},  // polyline
};

// Piece handling and code kind by action type.
struct ActionKind {
  uint16_t type;
  PieceKind first;
  int32_t codeKind;
};
constexpr ActionKind kActions[] = {
    {1, PieceKind::Text, 90},  {2, PieceKind::Text, 89},    {3, PieceKind::Text, 87},
    {8, PieceKind::Text, 88},  {5, PieceKind::Script, 9},   {6, PieceKind::Formula, 4},
};
constexpr uint16_t kActionRunScript = 5;

}  // namespace

Status32 CKVXCDVMShape::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(structure_, Data())) return status;
  const size_t nameAt = Signature() > 0xFF ? kNameLengthWordShape : kNameLengthByteShape;
  std::span<const uint8_t> name;
  if (!fixed.Piece(fixed.U16(nameAt), name)) return kErrBadCompositeRecord;
  std::string text(name.begin(), name.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();  // writers pad names to even with NUL
  if (args.location != nullptr) args.location->Replace(entryKind_, text);
  return CopyRaw(out);
}

Status32 CKVXCDVMAction::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  // Only the word-length layout is known; a byte-length 0xB5 record is kept.
  const uint8_t mark = Data().size() >= 2 ? Data()[1] : 0;
  if (mark != 0x00 && mark != 0xFF) return CopyRaw(out);
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructViewMapAction, Data())) return status;
  const uint16_t type = fixed.U16(kActionTypeAt);
  const ActionKind* kind = nullptr;
  for (const ActionKind& candidate : kActions) {
    if (candidate.type == type) kind = &candidate;
  }
  if (kind == nullptr) return CopyRaw(out);
  std::span<const uint8_t> first, second;
  if (!fixed.Piece(fixed.U16(kActionStringLengthAt), first) || !fixed.Piece(fixed.U16(kActionExtDataLengthAt), second)) {
    return kErrBadCompositeRecord;
  }
  SetCodeKind(args.location, kind->codeKind);
  if (Status32 status = fixed.Begin(out)) return status;
  size_t firstLength = 0, secondLength = 0;
  if (Status32 status = fixed.Emit(kind->first, first, args, out, firstLength)) return status;
  const PieceKind secondKind = type == kActionRunScript ? PieceKind::ObjectCode : PieceKind::Text;
  if (secondKind == PieceKind::ObjectCode) {
    if (Status32 status = EmitPiece(secondKind, second, args, out, secondLength)) return status;
  } else if (Status32 status = out.Append(second)) {
    return status;
  } else {
    secondLength = second.size();
  }
  if (firstLength > 0xFFFF || secondLength > 0xFFFF) return kErrBadCompositeRecord;
  fixed.SetU16(kActionStringLengthAt, static_cast<uint16_t>(firstLength));
  fixed.SetU16(kActionExtDataLengthAt, static_cast<uint16_t>(secondLength));
  return fixed.Finish(out, kActionRecordLengthAt);
}

bool MakeViewMapMember(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena, CKVXCDRecord*& made) {
  if (signature == 0xB5 || signature == 0xFFBA) {
    made = MakeRecord<CKVXCDVMAction>(arena, signature, record);
    return true;
  }
  for (const ShapeKind& shape : kShapes) {
    if (shape.signature == signature) {
      made = MakeRecord<CKVXCDVMShape>(arena, signature, record, shape.structure, shape.entryKind);
      return true;
    }
  }
  return false;
}

}  // namespace quillet
