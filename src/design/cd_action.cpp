// Action-bar actions and the code records of agent action items.
#include "design/cd_action.h"

#include <algorithm>
#include <new>
#include <string>

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "design/item_composite.h"
#include "design/item_lstext.h"

namespace quillet {
namespace {

// Action (structure 340):
//   0  u16 signature  2  u32 record length  6  u16 type  8 u16 icon
//   10 u32 flags      14 u16 title length   16 u16 hide-when length
//   18 u32 shared-action id                 22 title, pad, body, hide-when
constexpr uint16_t kStructAction = 340;
constexpr size_t kActionLengthAt = 2;
constexpr size_t kActionTypeAt = 6;
constexpr size_t kActionTitleLengthAt = 14;
constexpr size_t kActionHideLengthAt = 16;

constexpr uint16_t kActionFormula = 1;
constexpr uint16_t kActionScript = 2;
constexpr uint16_t kActionSimpleActions = 3;
constexpr uint16_t kActionGuessedFirst = 7;  // types whose body says what it is
constexpr uint16_t kActionGuessedLast = 8;

constexpr int32_t kEntryAction = 1;
constexpr int32_t kCodeKindTitle = 13;
constexpr int32_t kCodeKindFormula = 4;
constexpr int32_t kCodeKindScript = 9;
constexpr int32_t kCodeKindHideFormula = 7;

// The start of an embedded simple-action stream: the action type word and
// the action header record.
constexpr uint8_t kActionStreamStart[] = {0x10, 0x00, 0x81, 0x02};

enum class Body { Copy, Formula, Script, Nested };

// What the body of a type 7 or 8 action holds, after its leading NUL bytes.
Body GuessBody(std::span<const uint8_t> body) {
  const std::string_view mark = kScriptChunkMark;
  if (body.size() > mark.size() && std::equal(mark.begin(), mark.end(), body.begin())) return Body::Script;
  if (body.size() > sizeof kActionStreamStart &&
      std::equal(std::begin(kActionStreamStart), std::end(kActionStreamStart), body.begin())) {
    return Body::Nested;
  }
  return Body::Formula;
}

// Keeps the action's entry pinned while the action is emitted, and leaves
// it transient afterwards, whatever the outcome.
class PinnedEntry {
 public:
  PinnedEntry(CodeLocation* location, std::string_view title) : location_(location) {
    if (location_ == nullptr) return;
    location_->Replace(kEntryAction, title);
    location_->Pin();
  }
  ~PinnedEntry() {
    if (location_ == nullptr) return;
    location_->DropTransient();
    location_->Unpin();
  }
  PinnedEntry(const PinnedEntry&) = delete;
  PinnedEntry& operator=(const PinnedEntry&) = delete;

 private:
  CodeLocation* location_;
};

// Appends a zero byte after a piece of odd length; `original` is the pad
// the stored record had, kept when there was one.
Status32 PadPiece(size_t length, std::span<const uint8_t> original, RecordBuffer& out) {
  if (length % 2 == 0) return kNoError;
  const uint8_t pad = original.empty() ? 0 : original[0];
  return out.Append(std::span(&pad, 1));
}

Status32 EmitBody(uint16_t type, std::span<const uint8_t> body, const RewriteArgs& args, RecordBuffer& out) {
  size_t length = 0;
  if (type >= kActionGuessedFirst && type <= kActionGuessedLast) {
    const size_t nuls = static_cast<size_t>(std::find_if(body.begin(), body.end(), [](uint8_t b) { return b != 0; }) -
                                            body.begin());
    if (Status32 status = out.Append(body.first(nuls))) return status;
    body = body.subspan(nuls);
    const Body guessed = GuessBody(body);
    type = guessed == Body::Script ? kActionScript : guessed == Body::Nested ? kActionSimpleActions : kActionFormula;
  }
  switch (type) {
    case kActionFormula:
      SetCodeKind(args.location, kCodeKindFormula);
      return EmitCodePiece(PieceKind::Formula, body, args, out, length);
    case kActionScript:
      SetCodeKind(args.location, kCodeKindScript);
      return EmitCodePiece(PieceKind::Script, body, args, out, length);
    case kActionSimpleActions: return EmitNestedActions(body, args, out);
    default: return out.Append(body);
  }
}

}  // namespace

Status32 CKVXCDAction::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructAction, Data())) return status;
  const size_t titleLength = fixed.U16(kActionTitleLengthAt);
  const size_t hideLength = fixed.U16(kActionHideLengthAt);
  std::span<const uint8_t> title, titlePad, body, hide, hidePad;
  if (!fixed.Piece(titleLength, title) || !fixed.Piece(titleLength % 2, titlePad)) return kErrBadCompositeRecord;
  const size_t tail = hideLength + hideLength % 2;
  if (fixed.Rest().size() < tail) return kErrBadCompositeRecord;
  if (!fixed.Piece(fixed.Rest().size() - tail, body) || !fixed.Piece(hideLength, hide) ||
      !fixed.Piece(hideLength % 2, hidePad)) {
    return kErrBadCompositeRecord;
  }
  std::string name(title.begin(), title.end());
  while (!name.empty() && name.back() == '\0') name.pop_back();  // some writers count the pad in the title
  const PinnedEntry entry(args.location, name);

  if (Status32 status = fixed.Begin(out)) return status;
  SetCodeKind(args.location, kCodeKindTitle);
  size_t length = 0;
  if (Status32 status = fixed.Emit(PieceKind::Text, title, args, out, length)) return status;
  fixed.SetU16(kActionTitleLengthAt, static_cast<uint16_t>(length));
  if (Status32 status = PadPiece(length, titlePad, out)) return status;
  if (Status32 status = EmitBody(fixed.U16(kActionTypeAt), body, args, out)) return status;
  SetCodeKind(args.location, kCodeKindHideFormula);
  if (Status32 status = fixed.Emit(PieceKind::Formula, hide, args, out, length)) return status;
  fixed.SetU16(kActionHideLengthAt, static_cast<uint16_t>(length));
  if (Status32 status = PadPiece(length, hidePad, out)) return status;
  return fixed.FinishLong(out, kActionLengthAt);
}

// --- Agent action items ---------------------------------------------------------

namespace {

// Formula action (structure 332): 4 u32 flags, 8 u16 formula length.
constexpr uint16_t kStructActionFormula = 332;
constexpr size_t kActionFormulaLengthAt = 8;
// LotusScript action (structure 333): 4 u32 flags, 8 u32 source length.
constexpr uint16_t kStructActionScript = 333;
constexpr size_t kActionScriptLengthAt = 8;
constexpr size_t kRecordLengthAt = 2;

}  // namespace

Status32 CKVXCDActionFormula::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructActionFormula, Data())) return status;
  std::span<const uint8_t> formula;
  if (!fixed.Piece(fixed.U16(kActionFormulaLengthAt), formula)) return kErrBadCompositeRecord;
  SetCodeKind(args.location, kCodeKindFormula);
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  if (Status32 status = fixed.Emit(PieceKind::Formula, formula, args, out, length)) return status;
  if (Status32 status = PadPiece(length, {}, out)) return status;
  fixed.SetU16(kActionFormulaLengthAt, static_cast<uint16_t>(length + length % 2));  // the length counts the pad
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

Status32 CKVXCDActionLotusScript::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructActionScript, Data())) return status;
  std::span<const uint8_t> source;
  if (!fixed.Piece(fixed.U32(kActionScriptLengthAt), source)) return kErrBadCompositeRecord;
  SetCodeKind(args.location, kCodeKindScript);
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  if (Status32 status = fixed.Emit(PieceKind::Script, source, args, out, length)) return status;
  fixed.SetU32(kActionScriptLengthAt, static_cast<uint32_t>(length));
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

bool MakeActionMember(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena, CKVXCDRecord*& made) {
  switch (signature) {
    case 0xFF84: made = MakeRecord<CKVXCDActionFormula>(arena, signature, record); return true;
    case 0xFF85: made = MakeRecord<CKVXCDActionLotusScript>(arena, signature, record); return true;
    default: return false;
  }
}

}  // namespace quillet
