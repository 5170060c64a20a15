// Resource links (structure 631): a link to a URL, a note or a named design
// element, as used by images, table cell images and link hotspots.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// The server and file hints, then by link type: a URL (text, or a formula
// with flag 0x1); a note link's index word or inline link (flag 0x2) and its
// anchor name; a named element's replica ID and its name (text, or a formula
// with flag 0x1). Bytes of other link types and after the pieces are kept.
class CKVXCDHRef : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
