// Records of a navigator's layout ($ViewMapLayout): the shapes, which name
// the navigator object in the code location path, and the click action that
// follows a shape and may carry LotusScript object code.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// A shape (rectangle, ellipse, polygon, text box, ...): its object name,
// the first piece after the fixed part, becomes the transient entry of the
// location path. The record itself is copied.
class CKVXCDVMShape : public CKVXCDRecord {
 public:
  // `structure` gives the fixed part; `entryKind` the location entry.
  CKVXCDVMShape(uint16_t signature, std::span<const uint8_t> record, uint16_t structure, int32_t entryKind)
      : CKVXCDRecord(signature, record), structure_(structure), entryKind_(entryKind) {}
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;

 private:
  uint16_t structure_;
  int32_t entryKind_;
};

// The click action of the shape before it (structure 325). By action type,
// the first piece is text, LotusScript source or a compiled formula, and
// the second, for LotusScript, the object code handed to the callback.
class CKVXCDVMAction : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// Makes the member for a navigator layout signature (null when memory runs
// out); false when the layout table does not list the signature.
bool MakeViewMapMember(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena, CKVXCDRecord*& made);

}  // namespace quillet
