// The string table (type 3) and its extended handle table (type 9).
#pragma once

#include "lsobject/table_extention.h"

namespace quillet {

// 16-bit string handle -> 32-bit string offset, for tables beyond 64 KiB.
class CExtendedStringTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kExtendedStringTable; }
};

// Counted, terminated UTF-16 strings in 64 KiB segments. The table owns its
// extended handle table, so clearing the strings clears their handles too.
class CStringTable : public CMultiSection {
 public:
  uint8_t Type() const override { return record::kStringTable; }
  void Clear() override {
    CMultiSection::Clear();
    extended_.Clear();
  }

  CExtendedStringTable& Extended() { return extended_; }
  const CExtendedStringTable& Extended() const { return extended_; }

 private:
  CExtendedStringTable extended_;
};

}  // namespace quillet
