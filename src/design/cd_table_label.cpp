// Table labels: their place in the location path.
#include "design/cd_table_label.h"

#include "design/code_location.h"
#include "design/design_messages.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr size_t kFixedSize = 140;
constexpr size_t kFlagsAt = 138;
constexpr uint16_t kFlagRowLabel = 0x1;
constexpr uint16_t kFlagTabLabel = 0x2;
constexpr int32_t kEntryTable = 25;
constexpr int32_t kCodeKindTabLabel = 22;
constexpr int32_t kCodeKindRowLabel = 23;

}  // namespace

void CKVXCDTableLabel::Locate(CodeLocation* location) const {
  if (location == nullptr) return;
  location->Replace(kEntryTable, "");
  const uint16_t flags = LoadU16(Data().data() + kFlagsAt);
  location->SetCodeKind((flags & kFlagTabLabel) != 0   ? kCodeKindTabLabel
                        : (flags & kFlagRowLabel) != 0 ? kCodeKindRowLabel
                                                       : 0);
}

Status32 CKVXCDTableLabel::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  if (Data().size() < kFixedSize) return kErrBadCompositeRecord;
  Locate(args.location);
  return CopyRaw(out);
}

bool CKVXCDTableLabel::UnchangedBy(const RewriteArgs& args) const {
  if (Data().size() < kFixedSize) return false;  // Emit says why
  Locate(args.location);
  return true;
}

}  // namespace quillet
