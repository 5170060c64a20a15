// The byte code (type 4) and the tables that go with it: label offsets
// (type 15), jump table (type 16) and function line numbers (type 17).
#pragma once

#include "lsobject/table_extention.h"

namespace quillet {

// One undivided run of byte code; placement offsets are plain byte offsets.
class CByteCode : public CMultiSection {
 public:
  uint8_t Type() const override { return record::kByteCode; }
};

// u32 byte-code offsets that label handles resolve through.
class CLabelOffsetTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kLabelOffsetTable; }
};

// 8-byte entries carried unchanged.
class CJumpTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kJumpTable; }
};

// From byte 4 on, (u16 procedure name handle, u16 line base) pairs.
class CFunctionLineNumbers : public CMultiSection {
 public:
  uint8_t Type() const override { return record::kFunctionLineNumbers; }
};

}  // namespace quillet
