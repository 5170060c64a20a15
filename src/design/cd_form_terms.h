// Records that name forms and field values: the modify-by-form simple action
// (structure 338), and the by-form (373) and uses-form (423) query terms.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// The field/value blocks (structure 339 each, a text-list value) and then
// the form name, shared by the by-form action and query term.
class CKVXCDFieldsByForm : public CKVXCDRecord {
 public:
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;

 protected:
  CKVXCDFieldsByForm(uint16_t signature, std::span<const uint8_t> record, uint16_t structure, int32_t replaceKind,
                     int32_t pushKind)
      : CKVXCDRecord(signature, record), structure_(structure), replaceKind_(replaceKind), pushKind_(pushKind) {}

 private:
  uint16_t structure_;
  int32_t replaceKind_;
  int32_t pushKind_;
};

class CKVXCDSimpleActionByForm : public CKVXCDFieldsByForm {
 public:
  CKVXCDSimpleActionByForm(uint16_t signature, std::span<const uint8_t> record);
};

class CKVXCDQueryByForm : public CKVXCDFieldsByForm {
 public:
  CKVXCDQueryByForm(uint16_t signature, std::span<const uint8_t> record);
};

// The forms a document must use: a text list after the fixed part.
class CKVXCDQueryUsesForm : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
