// The simple actions that write mail: send mail (structure 335) and send
// newsletter (structure 362). Their address and subject fields are compiled
// formulas or text by the record's flags; the body is text.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// Send mail: To, cc, bcc, subject and body, each NUL-terminated and padded
// to even, the length counting both.
class CKVXCDSimpleActionSendMail : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// Send newsletter: the view name, then the same five fields, packed (some
// writers pad them to even; a padded field stays padded).
class CKVXCDSimpleActionNewsLetter : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
