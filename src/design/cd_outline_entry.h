// An outline entry (signature 0x51 of outline values): its title, click
// action, images, target frame, hide-when formula, alias, source and the
// other pieces, each rebuilt in stored order.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// Entry (structure 702, 72 bytes), after it the pieces whose sizes the
// fixed part gives, each a data type word and its data:
//   0 u16 fixed size (72), 2 u16 size of everything after the fixed part,
//   16 title, 20 click action, 24 images, 28 target frame, 32 hide-when,
//   36 alias, 22 source, 50 preferred server, 56 toolbar manager,
//   58 toolbar entry, 18 popup: the u16 sizes, in the order the pieces
//   are stored. Bytes after the last piece are kept.
// A piece whose type word is 0x0600 holds a compiled formula, 0x0500 text;
// any other piece is copied.
class CKVXCDOutlineEntry : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
