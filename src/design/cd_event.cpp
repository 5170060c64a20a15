// Events: the action bytes by action type.
#include "design/cd_event.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "design/structures.h"

namespace quillet {
namespace {

// Event (structure 637, 32 bytes):
//   0 u16 signature   2 u16 record length   4 u32 flags
//   8 u16 event type  10 u16 action type    12 u32 action length
//   16 reserved       32 the action bytes
constexpr size_t kEventLengthAt = 2;
constexpr size_t kEventTypeAt = 8;
constexpr size_t kActionTypeAt = 10;
constexpr size_t kActionLengthAt = 12;

constexpr uint16_t kFirstNamedEvent = 1;   // onClick() ...
constexpr uint16_t kLastNamedEvent = 21;   // ... onSelect()
constexpr int32_t kEntryFirstEvent = 51;
constexpr int32_t kEntryOtherEvent = 38;

constexpr uint16_t kActionFormula = 1;
constexpr uint16_t kActionScript = 3;
constexpr uint16_t kActionJavaScript = 4;
constexpr int32_t kCodeKindFormula = 4;
constexpr int32_t kCodeKindScript = 9;
constexpr int32_t kCodeKindJavaScript = 10;

}  // namespace

Status32 CKVXCDEvent::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructEvent, Data())) return status;
  std::span<const uint8_t> action;
  if (!fixed.Piece(fixed.U32(kActionLengthAt), action)) return kErrBadCompositeRecord;
  const uint16_t eventType = fixed.U16(kEventTypeAt);
  if (args.location != nullptr) {
    const bool named = eventType >= kFirstNamedEvent && eventType <= kLastNamedEvent;
    args.location->Replace(named ? kEntryFirstEvent + (eventType - kFirstNamedEvent) : kEntryOtherEvent, "");
  }
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  Status32 status = kNoError;
  switch (fixed.U16(kActionTypeAt)) {
    case kActionFormula:
      SetCodeKind(args.location, kCodeKindFormula);
      status = fixed.Emit(PieceKind::Formula, action, args, out, length);
      break;
    case kActionScript:
      SetCodeKind(args.location, kCodeKindScript);
      status = fixed.Emit(PieceKind::Script, action, args, out, length);
      break;
    case kActionJavaScript:
      SetCodeKind(args.location, kCodeKindJavaScript);
      status = CdFixedRecord::Copy(action, out, length);
      break;
    default: status = CdFixedRecord::Copy(action, out, length); break;  // whatever else it carries is kept
  }
  if (status != kNoError) return status;
  fixed.SetU32(kActionLengthAt, static_cast<uint32_t>(length));
  if (Status32 rest = out.Append(fixed.Rest())) return rest;
  return fixed.Finish(out, kEventLengthAt);
}

}  // namespace quillet
