// Scope linking and limits shared by the operations that add symbol entries.
#pragma once

#include <cstdint>
#include <limits>

#include "lsobject/header.h"
#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet::symbol {

inline constexpr uint32_t kNoOffset = std::numeric_limits<uint32_t>::max();  // AppendEntries failed
// An entry must fit one segment of the table.
inline constexpr size_t kMaxEntrySize = 0xF000;

inline bool IsProcedureKind(uint16_t kind) { return kind == kFunction || kind == kSub || kind == kProperty; }

// The header carries the four module scopes (Parse refuses shorter ones).
inline bool HeaderUsable(const CHeader& header) { return header.Holds(0, header::kMinLength); }

// Links `handle` as the last entry of the scope record at data offset `scope`.
inline void AppendToScope(const SymbolView& view, uint64_t scope, uint32_t handle) {
  const auto h = static_cast<uint16_t>(handle);
  const uint32_t last = view.U16(scope + kScopeLast);
  if (view.U16(scope + kScopeFirst) == 0) view.SetU16(scope + kScopeFirst, h);
  if (last != 0) view.SetNextSibling(last, handle);
  view.SetU16(scope + kScopeLast, h);
  view.SetU16(scope + kScopeCount, static_cast<uint16_t>(view.U16(scope + kScopeCount) + 1));
}

// Links `handle` into the header's module scope at `scope` right after its
// first entry, or as its first entry when the scope is empty; the last-entry
// field follows when the new entry ends the chain.
inline void LinkAfterFirst(const SymbolView& view, CHeader& header, size_t scope, uint32_t handle) {
  const auto h = static_cast<uint16_t>(handle);
  const uint32_t first = header.U16(scope + kScopeFirst);
  if (first == 0) {
    header.SetU16(scope + kScopeFirst, h);
    header.SetU16(scope + kScopeLast, h);
  } else {
    view.SetNextSibling(handle, view.NextSibling(first));
    view.SetNextSibling(first, handle);
    if (header.U16(scope + kScopeLast) == 0 || view.NextSibling(handle) == 0) header.SetU16(scope + kScopeLast, h);
  }
  header.SetU16(scope + kScopeCount, static_cast<uint16_t>(header.U16(scope + kScopeCount) + 1));
}

}  // namespace quillet::symbol
