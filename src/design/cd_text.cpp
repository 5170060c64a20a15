// Text runs and button faces: the location path, and the text piece.
#include "design/cd_text.h"

#include "design/cd_fixed.h"
#include "design/code_location.h"

namespace quillet {
namespace {

constexpr size_t kRecordLengthAt = 2;

constexpr int32_t kEntryNone = 0;
constexpr int32_t kEntryField = 4;
constexpr int32_t kEntryButton = 2;
constexpr int32_t kEntryText = 85;
constexpr int32_t kCodeKindText = 12;
constexpr int32_t kCodeKindTitle = 13;

}  // namespace

// When the flags do not hand text to the callback the rebuilt record would
// equal the stored one, so it is copied as it is.
Status32 CdNamingText::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  if (args.location != nullptr) Locate(*args.location);
  if (!SelectsPiece(args, PieceKind::Text)) return CopyRaw(out);
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(structure_, Data())) return status;
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  if (Status32 status = fixed.Emit(PieceKind::Text, fixed.Rest(), args, out, length)) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

bool CdNamingText::UnchangedBy(const RewriteArgs& args) const {
  if (SelectsPiece(args, PieceKind::Text)) return false;
  if (args.location != nullptr) Locate(*args.location);
  return true;
}

void CKVXCDText::Locate(CodeLocation& location) const {
  if (location.top() != nullptr && location.top()->kind == kEntryField) location.DropTransient();
  if (location.top() == nullptr || location.top()->kind == kEntryNone) {
    location.Replace(kEntryText, "");
  } else {
    location.SetCodeKind(kCodeKindText);
  }
}

void CKVXCDButton::Locate(CodeLocation& location) const {
  location.Replace(kEntryButton, "");
  location.SetCodeKind(kCodeKindTitle);
}

}  // namespace quillet
