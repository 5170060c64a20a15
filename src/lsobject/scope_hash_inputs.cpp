// Keeping and comparing the bytes a scope-hash rebuild reads.
#include "lsobject/scope_hash_inputs.h"

#include <algorithm>

#include "lsobject/symbol_entries.h"

namespace quillet {
namespace {

// The module scope records lie at header bytes 60 to 299.
constexpr size_t kScopesFrom = header::kScope1;
constexpr size_t kScopesTo = header::kScope4 + symbol::kScopeSize;

std::span<const uint8_t> Scopes(const CHeader& header) {
  const std::span<const uint8_t> data = header.Data();
  return data.size() < kScopesTo ? std::span<const uint8_t>{} : data.subspan(kScopesFrom, kScopesTo - kScopesFrom);
}

// The symbol data without the checksum word the update writes after the
// scope hashes.
std::span<const uint8_t> Symbols(const CSymbolTable& symbols) {
  const std::span<const uint8_t> data = symbols.Data();
  return data.size() < CSymbolTable::kChecksumBytes ? data : data.subspan(CSymbolTable::kChecksumBytes);
}

bool Same(const std::vector<uint8_t>& kept, std::span<const uint8_t> now) {
  return std::equal(kept.begin(), kept.end(), now.begin(), now.end());
}

}  // namespace

void ScopeHashInputs::Capture(const CHeader& header, const CSymbolTable& symbols,
                              const CExtendedSymbolTable& extendedSymbols, const CStringTable& strings) {
  auto keep = [](std::vector<uint8_t>& to, std::span<const uint8_t> from) { to.assign(from.begin(), from.end()); };
  keep(scopes_, Scopes(header));
  keep(symbols_, Symbols(symbols));
  keep(extendedSymbols_, extendedSymbols.Data());
  keep(strings_, strings.Data());
  keep(extendedStrings_, strings.Extended().Data());
  captured_ = true;
}

bool ScopeHashInputs::Matches(const CHeader& header, const CSymbolTable& symbols,
                              const CExtendedSymbolTable& extendedSymbols, const CStringTable& strings) const {
  return captured_ && Same(scopes_, Scopes(header)) && Same(symbols_, Symbols(symbols)) && Same(extendedSymbols_, extendedSymbols.Data()) &&
         Same(strings_, strings.Data()) && Same(extendedStrings_, strings.Extended().Data());
}

void ScopeHashInputs::Clear() {
  captured_ = false;
  scopes_.clear();
  symbols_.clear();
  extendedSymbols_.clear();
  strings_.clear();
  extendedStrings_.clear();
}

}  // namespace quillet
