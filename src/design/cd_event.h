// An event of a form or a field (structure 637): what runs on a click, a
// load or a key, held as a formula, LotusScript source or other bytes.
#pragma once

#include "design/cd_record.h"

namespace quillet {

class CKVXCDEvent : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  // Names the event in the code location path; a formula is re-encoded,
  // source and any other action bytes are copied, and the action length is
  // set to what was emitted.
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
