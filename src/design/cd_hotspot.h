// Hotspot records (structure 230): buttons, popups, links, sections and
// embedded elements, whose data after the fixed part holds a formula, text,
// LotusScript source or nested action records. A rebuilt hotspot loses its
// signed flag: its signature cannot survive the rewrite.
#pragma once

#include "design/cd_record.h"

namespace quillet {

inline constexpr uint32_t kHotspotSigned = 0x00010000;

class CKVXCDHotspotBegin : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
  // The data of an embedded-object hotspot (type 15): its block, four
  // texts, its parameters (a name and a value formula each), and whatever
  // follows, with every length of the block fixed. The object is a pushed
  // entry of the location path while its pieces are emitted.
  [[nodiscard]] static Status32 EmitEmbeddedObject(std::span<const uint8_t> data, const RewriteArgs& args,
                                                   RecordBuffer& out);
};

// A field (structure 118): three compiled formulas, the name, the help
// description and the keyword values, in this stored order.
class CKVXCDField : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

// A paragraph's hide-when formula (structure 358): the rest of the record.
class CKVXCDPABHide : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
