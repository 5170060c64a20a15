// Text runs and button faces: the location path, and the text piece.
#include "design/cd_text.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"

namespace quillet {
namespace {

constexpr uint16_t kStructText = 113;
constexpr uint16_t kStructButton = 237;
constexpr size_t kRecordLengthAt = 2;

constexpr int32_t kEntryNone = 0;
constexpr int32_t kEntryField = 4;
constexpr int32_t kEntryButton = 2;
constexpr int32_t kEntryText = 85;
constexpr int32_t kCodeKindText = 12;
constexpr int32_t kCodeKindTitle = 13;

// Re-emits a record of `code` whose text runs to its end. When the flags do
// not hand text to the callback the rebuilt record would equal the stored
// one, so it is copied as it is (text runs are most of a body's records).
Status32 EmitText(const CKVXCDRecord& record, uint16_t code, const RewriteArgs& args, RecordBuffer& out) {
  if (!SelectsPiece(args, PieceKind::Text)) return record.CopyRaw(out);
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(code, record.Data())) return status;
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  if (Status32 status = fixed.Emit(PieceKind::Text, fixed.Rest(), args, out, length)) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace

void CKVXCDText::Locate(CodeLocation* location) const {
  if (location == nullptr) return;
  if (location->top() != nullptr && location->top()->kind == kEntryField) location->DropTransient();
  if (location->top() == nullptr || location->top()->kind == kEntryNone) {
    location->Replace(kEntryText, "");
  } else {
    location->SetCodeKind(kCodeKindText);
  }
}

Status32 CKVXCDText::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  Locate(args.location);
  return EmitText(*this, kStructText, args, out);
}

bool CKVXCDText::UnchangedBy(const RewriteArgs& args) const {
  if (SelectsPiece(args, PieceKind::Text)) return false;
  Locate(args.location);
  return true;
}

void CKVXCDButton::Locate(CodeLocation* location) const {
  if (location == nullptr) return;
  location->Replace(kEntryButton, "");
  location->SetCodeKind(kCodeKindTitle);
}

Status32 CKVXCDButton::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  Locate(args.location);
  return EmitText(*this, kStructButton, args, out);
}

bool CKVXCDButton::UnchangedBy(const RewriteArgs& args) const {
  if (SelectsPiece(args, PieceKind::Text)) return false;
  Locate(args.location);
  return true;
}

}  // namespace quillet
