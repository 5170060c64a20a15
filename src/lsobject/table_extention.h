// Multi-sections whose data is an array of little-endian u32 values: the
// extended string and symbol tables (16-bit handle -> 32-bit offset), the
// label-offset table and the jump table.
#pragma once

#include "lsobject/multi_section.h"

namespace quillet {

class CTableExtention : public CMultiSection {
 public:
  // The index holding `value`: the first index above 4 that holds it, else
  // the last of indices 0..4 that holds it. Not found: false, handle 0.
  virtual bool Find(uint32_t value, uint32_t& handle) const;
  // The u32 at index `handle`; 0 for an index outside the table.
  virtual uint32_t Get(uint32_t handle) const;
  // Stores `value` at index `handle`; an index outside the table is left alone.
  virtual void Set(uint32_t handle, uint32_t value);
  // The table holds index `handle`.
  virtual bool Contains(uint32_t handle) const;
  // `value` itself when it fits a 16-bit handle (below 0xFFFF); otherwise the
  // value is appended and its index returned.
  virtual uint32_t Encode(uint32_t value);
  // The value stored for `handle` when the table holds that index, else the
  // handle itself.
  virtual uint32_t Resolve(uint32_t handle) const;

  int32_t EntryCount() const { return Length() / 4; }
};

}  // namespace quillet
