// Hotspot records (structure 230): buttons, popups, links, sections and
// embedded elements, whose data after the fixed part holds a formula, text,
// LotusScript source or nested action records. A rebuilt hotspot loses its
// signed flag: its signature cannot survive the rewrite.
#pragma once

#include "design/cd_record.h"

namespace quillet {

inline constexpr uint32_t kHotspotSigned = 0x00010000;

class CKVXCDHotspotBegin : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// A field (structure 118): three compiled formulas, the name, the help
// description and the keyword values, in this stored order.
class CKVXCDField : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// A paragraph's hide-when formula (structure 358): the rest of the record.
class CKVXCDPABHide : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
