// The symbol table (type 5), its extended handle table (type 14) and the
// view over both through which symbol handles are resolved.
#pragma once

#include "lsobject/table_extention.h"

namespace quillet {

// 16-bit symbol handle -> 32-bit entry offset, for tables beyond 64 KiB.
class CExtendedSymbolTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kExtendedSymbolTable; }
};

// Symbol entries in 64 KiB segments. The first four bytes hold the module
// checksum, so they are left out of it.
class CSymbolTable : public CMultiSection {
 public:
  static constexpr size_t kChecksumBytes = 4;
  uint8_t Type() const override { return record::kSymbolTable; }
  uint32_t UpdateChecksum(uint32_t crc) const override { return ChecksumSegments(crc, kChecksumBytes); }
};

// The pair of tables every symbol handle needs; handed out by value.
struct SymbolView {
  CSymbolTable* symbols = nullptr;
  CExtendedSymbolTable* extended = nullptr;
};

}  // namespace quillet
