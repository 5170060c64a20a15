// The data of an embedded-object hotspot: applets, plug-ins and active
// objects with their texts and parameters.
#include <array>

#include "design/cd_fixed.h"
#include "design/cd_hotspot.h"
#include "design/design_messages.h"
#include "design/code_location.h"
#include "design/structures.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Embedded-object block (structure 516, 52 bytes):
//   2 u16 object kind (1 applet, 2 plug-in, 3 active object)
//   26, 28, 30, 32 u16 lengths of the document URL, codebase, code and
//   object name that follow the block; 36 u16 parameter count.
// Each parameter (structure 517, 6 bytes): 0 u16 name length, 2 u16 value
// formula length, 4 reserved; then the name and the formula.
constexpr size_t kObjectKindAt = 2;
constexpr size_t kParameterCountAt = 36;
struct TextPiece {
  size_t lengthAt;
  int32_t codeKind;
};
constexpr TextPiece kTexts[] = {{26, 37}, {28, 38}, {30, 39}, {32, 43}};
constexpr size_t kParameterNameLengthAt = 0;
constexpr size_t kParameterValueLengthAt = 2;
constexpr int32_t kCodeKindName = 8;
constexpr int32_t kCodeKindFormula = 4;

constexpr int32_t kEntryByObjectKind[] = {0, 43, 44, 42};

// Emits one piece and puts its new length into `block` at `lengthAt`.
Status32 EmitInto(CdFixedRecord& block, size_t lengthAt, PieceKind kind, std::span<const uint8_t> piece,
                  const RewriteArgs& args, RecordBuffer& out) {
  size_t length = 0;
  if (Status32 status = EmitCodePiece(kind, piece, args, out, length)) return status;
  if (length > 0xFFFF) return kErrRecordExceeds64K;
  block.SetU16(lengthAt, static_cast<uint16_t>(length));
  return kNoError;
}

Status32 EmitObject(std::span<const uint8_t> data, const RewriteArgs& args, RecordBuffer& out) {
  CdFixedRecord object;
  if (Status32 status = object.Read(kStructEmbeddedObject, data)) return status;
  std::array<std::span<const uint8_t>, std::size(kTexts)> texts;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (!object.Piece(object.U16(kTexts[i].lengthAt), texts[i])) return kErrBadCompositeRecord;
  }
  if (Status32 status = object.Begin(out)) return status;
  for (size_t i = 0; i < texts.size(); ++i) {
    SetCodeKind(args.location, kTexts[i].codeKind);
    if (Status32 status = EmitInto(object, kTexts[i].lengthAt, PieceKind::Text, texts[i], args, out)) return status;
  }
  std::span<const uint8_t> rest = object.Rest();
  for (uint16_t i = 0, count = object.U16(kParameterCountAt); i < count; ++i) {
    CdFixedRecord parameter;
    std::span<const uint8_t> name, value;
    if (Status32 status = parameter.Read(kStructEmbeddedParameter, rest)) return status;
    if (!parameter.Piece(parameter.U16(kParameterNameLengthAt), name) ||
        !parameter.Piece(parameter.U16(kParameterValueLengthAt), value)) {
      return kErrBadCompositeRecord;
    }
    rest = parameter.Rest();
    if (Status32 status = parameter.Begin(out)) return status;
    SetCodeKind(args.location, kCodeKindName);
    if (Status32 status = EmitInto(parameter, kParameterNameLengthAt, PieceKind::Text, name, args, out)) return status;
    SetCodeKind(args.location, kCodeKindFormula);
    if (Status32 status = EmitInto(parameter, kParameterValueLengthAt, PieceKind::Formula, value, args, out)) {
      return status;
    }
    if (Status32 status = parameter.Rewrite(out)) return status;
  }
  if (Status32 status = out.Append(rest)) return status;  // storage links and the rest are kept
  return object.Rewrite(out);
}

}  // namespace

Status32 CKVXCDHotspotBegin::EmitEmbeddedObject(std::span<const uint8_t> data, const RewriteArgs& args,
                                                RecordBuffer& out) {
  CodeLocation* location = args.location;
  if (location != nullptr) {
    uint16_t kind = data.size() >= kObjectKindAt + 2 ? LoadU16(data.data() + kObjectKindAt) : 0;
    location->Push(kind < std::size(kEntryByObjectKind) ? kEntryByObjectKind[kind] : 0, "");
  }
  const Status32 status = EmitObject(data, args, out);
  if (location != nullptr) location->Pop();
  return status;
}

}  // namespace quillet
