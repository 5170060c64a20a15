// An outline embedded in a page or form (signature 0xFFEC): its texts and
// the images of its background, each image a resource link record stored
// inside it.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// Embedded outline (structure 620, 270 bytes):
//   4 u32 flags (0x400 has a name, 0x800 has a target frame, 0x80000 has a
//   root entry), 24 u16 label length, 46 u16 name length, 48 u16 target
//   frame length, 246 u16 root entry length.
// After it: the label, the name, the target frame and the root entry, in
// that order; then up to four background images (control, title, top
// level, sub level), each a resource link record (0xFFF6) followed by one
// pad byte when its length is odd. Bytes after them are kept.
// A label, or a text whose flag is clear, is read differently by the
// public readers of this record: such a record is copied as it is.
class CKVXCDEmbeddedOutline : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
