// What the scope-hash rebuild reads, kept after a rebuild made outside the
// header update, so that the update can tell the hash tables still match.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lsobject/header.h"
#include "lsobject/string_table.h"
#include "lsobject/symbol_table.h"

namespace quillet {

// Copies of the bytes a rebuild depends on: the header's four module scope
// records, the symbol data past its checksum word, the string data and both
// extended handle tables. The header update changes none of them before its
// scope-hash step except the string chain links, so it compares them first.
class ScopeHashInputs {
 public:
  void Capture(const CHeader& header, const CSymbolTable& symbols, const CExtendedSymbolTable& extendedSymbols,
               const CStringTable& strings);
  // True when captured and every kept byte is still the same.
  bool Matches(const CHeader& header, const CSymbolTable& symbols, const CExtendedSymbolTable& extendedSymbols,
               const CStringTable& strings) const;
  void Clear();

 private:
  bool captured_ = false;
  std::vector<uint8_t> scopes_;
  std::vector<uint8_t> symbols_;
  std::vector<uint8_t> extendedSymbols_;
  std::vector<uint8_t> strings_;
  std::vector<uint8_t> extendedStrings_;
};

}  // namespace quillet
