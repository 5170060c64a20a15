// Actions: the action-bar action of forms and views (0xFFBE in rich text),
// and the formula and LotusScript records of an agent's action item.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// An action-bar action (structure 340, 32-bit record length): its title
// (padded to even), its body by action type, then its hide-when formula.
// The title names the action in the code location path for the whole
// record.
class CKVXCDAction : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// A formula action of an action item (structure 332): the formula, its
// length kept even.
class CKVXCDActionFormula : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// A LotusScript action of an action item (structure 333): the source, with
// a 32-bit length. Its object code is an item of its own.
class CKVXCDActionLotusScript : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// Makes the member for a signature of an action item (null when memory
// runs out); false when the action table does not list it.
bool MakeActionMember(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena, CKVXCDRecord*& made);

}  // namespace quillet
