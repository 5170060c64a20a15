// The formula that computes HTML attributes or alternate HTML of an
// embedded element (structure 566): the compiled formula is the rest of the
// record after its 12-byte fixed part.
#pragma once

#include "design/cd_record.h"

namespace quillet {

class CKVXCDHTMLFormula : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
