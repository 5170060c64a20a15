// Header checksum range and format-level queries.
#include "lsobject/header.h"

#include <algorithm>

#include "lsobject/checksum.h"

namespace quillet {

uint32_t CHeader::UpdateChecksum(uint32_t crc) const {
  return UpdateModuleCrc(crc, Data().first(std::min(data_.size(), header::kChecksummedLength)));
}

bool CHeader::WritesSegmentRecords() const {
  return Holds(header::kFormatLevel, 1) && data_[header::kFormatLevel] > header::kSegmentRecordsAbove;
}

}  // namespace quillet
