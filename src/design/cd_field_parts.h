// The records that complete a field or a section in a form body: the
// extended field attributes and the hint after a field, and a section's
// title bar.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// Extended field attributes (structure 342): the lookup dialog's database
// and view names, then, when the field keeps HTML attributes, their
// formula after a 4-byte block holding its length.
class CKVXCDExtField : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// A field's hint (structure 742): the hint text, named as the hint of a
// limited rich-text field when the hint's flag 0x0001 is set.
class CKVXCDFieldHint : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// A section's title bar (structure 308): an optional colour word, then the
// title, a compiled formula when the bar's formula flag is set, else text.
class CKVXCDBar : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
