// Rebuilding the name hash tables of the module's symbol scopes.
#pragma once

#include "lsobject/header.h"
#include "lsobject/string_table.h"
#include "lsobject/symbol_table.h"

namespace quillet {

// Rebuilds the hash tables of the four module scopes (header offsets 60, 180,
// 240, 120) from their sibling chains, then those of every Function, Sub and
// Property (locals and labels), class and kind-16 container in them and of
// the procedures those hold, skipping entries with flag 0x0040. An entry's
// bucket is NameHash of its name's string modulo 13. A step of the header
// update, run before the checksum.
void RebuildScopeHashes(SymbolView symbols, CHeader& header, const CStringTable& strings);

// Whether RebuildScopeHashes would write only into the fields it rebuilds:
// false when an entry it reaches lies in the table's checksum word, or a hash
// link or scope it writes lands in another entry's common fields or scope
// record, or an owner link Parse writes does (a link of a damaged module
// pointing into the middle of an entry).
// Writes nothing. On false, `conflict` (when given) receives the symbol-table
// offset of the first write that does not fit, 0 for the checksum word.
[[nodiscard]] bool ScopeHashesFitEntries(SymbolView symbols, CHeader& header, const CStringTable& strings,
                                         uint64_t* conflict = nullptr);

// ScopeHashesFitEntries and, when it holds, RebuildScopeHashes, both from
// one walk of the scopes: the writes the check gathered are made, in the
// order the rebuild makes them. On false nothing is written.
[[nodiscard]] bool RebuildScopeHashesIfFit(SymbolView symbols, CHeader& header, const CStringTable& strings);

}  // namespace quillet
