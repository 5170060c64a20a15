// A frame of a frameset (signature 0xFFF1): its name, its default target
// and the formula of its caption.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// Frame (structure 628, 36 bytes): 8 u16 data flags, 22 u16 name length,
// 26 u16 target length. After it the name and the target, then the data
// the data flags announce, in the order of their bits from 0x8000 down.
// With the caption flag (0x2000) and neither border flag (0x8000, 0x4000)
// that data starts with the caption formula's u16 length and the formula;
// the border data before it has no public layout, so with a border flag
// the data is kept as stored, as are the bytes after the formula.
class CKVXCDFrame : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
