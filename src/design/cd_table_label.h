// A table's tab or row label (signature 0xFFE3).
#pragma once

#include "design/cd_record.h"

namespace quillet {

// Table label (structure 583, 140 bytes): 4 the label, 128 bytes NUL
// padded; 132 three reserved words; 138 u16 flags (0x1 row label, 0x2 tab
// label). The label has a fixed width and no length of its own, so the
// record comes out as stored once its place is named: a "Table" entry, and
// the code kind of a tab or row label.
class CKVXCDTableLabel : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  // kErrBadCompositeRecord when the record is shorter than its fixed part.
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
  bool UnchangedBy(const RewriteArgs& args) const override;

 private:
  void Locate(CodeLocation* location) const;
};

}  // namespace quillet
