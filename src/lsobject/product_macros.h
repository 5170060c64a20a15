// Product macros (type 7): carried unchanged and folded whole into the checksum.
#pragma once

#include "lsobject/checksum.h"
#include "lsobject/multi_section.h"

namespace quillet {

class CProductMacros : public CMultiSection {
 public:
  uint8_t Type() const override { return record::kProductMacros; }
  uint32_t UpdateChecksum(uint32_t crc) const override { return UpdateModuleCrc(crc, Data()); }
};

}  // namespace quillet
