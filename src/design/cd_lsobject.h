// The record that carries compiled LotusScript inside rich text (signature
// 0xFFB1, structure 482):
//   0   u16  signature 0xFFB1
//   2   u16  record length (header and code, without padding)
//   4   u32  code size in bytes
//   8   u32  reserved, copied unchanged
//   12  the compiled module, record length - 12 bytes
#pragma once

#include "design/cd_record.h"

namespace quillet {

inline constexpr uint16_t kSigLsObject = 0xFFB1;

class CKVXCDLSObject : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  // With kRewriteObjectCode the code goes to the callback (kind ObjectCode)
  // and the code size and record length are set to what it appended.
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
};

}  // namespace quillet
