// Array operations of the u32 table sections.
#include "lsobject/table_extention.h"

namespace quillet {

bool CTableExtention::Find(uint32_t value, uint32_t& handle) const {
  // Indices 0..4 coincide with small handles that mean themselves, so an
  // entry above them is preferred.
  bool lowFound = false;
  uint32_t low = 0;
  const uint32_t count = static_cast<uint32_t>(EntryCount());
  for (uint32_t i = 0; i < count; ++i) {
    if (Get(i) != value) continue;
    if (i > 4) {
      handle = i;
      return true;
    }
    lowFound = true;
    low = i;
  }
  handle = lowFound ? low : 0;
  return lowFound;
}

uint32_t CTableExtention::Get(uint32_t handle) const {
  if (!Contains(handle)) return 0;
  return LoadU32(data_.data() + size_t{handle} * 4);
}

void CTableExtention::Set(uint32_t handle, uint32_t value) {
  if (!Contains(handle)) return;
  StoreU32(data_.data() + size_t{handle} * 4, value);
}

bool CTableExtention::Contains(uint32_t handle) const {
  return !data_.empty() && data_.size() >= size_t{handle} * 4 + 4;
}

uint32_t CTableExtention::Encode(uint32_t value) {
  if (value < 0xFFFF) return value;
  uint8_t bytes[4];
  StoreU32(bytes, value);
  if (InsertBytes(-1, bytes) < 0) return value;  // cannot happen: appending never shrinks
  // The value went to the end of the data, which a new segment may have
  // moved past padding; its index is where it actually lies.
  return static_cast<uint32_t>((data_.size() - 4) / 4);
}

uint32_t CTableExtention::Resolve(uint32_t handle) const { return Contains(handle) ? Get(handle) : handle; }

}  // namespace quillet
