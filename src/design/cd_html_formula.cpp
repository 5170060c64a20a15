// HTML formulas of embedded elements.
#include "design/cd_html_formula.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"

namespace quillet {
namespace {

// HTML formula (structure 566, 12 bytes): 4 u32 flags, 8 level, 9 reserved,
// 10 u16 reserved; the formula fills the rest of the record.
constexpr uint16_t kStructHtmlFormula = 566;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kFlagsAt = 4;
constexpr uint32_t kFlagAlternateHtml = 0x2;
constexpr int32_t kEntryHtmlFormula = 50;
constexpr int32_t kCodeKindAttributes = 56;
constexpr int32_t kCodeKindAlternate = 57;

}  // namespace

Status32 CKVXCDHTMLFormula::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructHtmlFormula, Data())) return status;
  if (args.location != nullptr) args.location->Replace(kEntryHtmlFormula, "");
  const bool alternate = (fixed.U32(kFlagsAt) & kFlagAlternateHtml) != 0;
  SetCodeKind(args.location, alternate ? kCodeKindAlternate : kCodeKindAttributes);
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  if (Status32 status = fixed.Emit(PieceKind::Formula, fixed.Rest(), args, out, length)) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace quillet
