// Rebuilding the name hash tables of the module's symbol scopes.
#pragma once

#include "lsobject/header.h"
#include "lsobject/string_table.h"
#include "lsobject/symbol_table.h"

namespace quillet {

// Rebuilds the hash tables of the four module scopes (header offsets 60, 180,
// 240, 120) and of every Function, Sub, Property, class and kind-16 container
// in module scope 1; names hash by NameHash of their string, modulo 13. Part
// of the header update, run before the checksum.
void RebuildScopeHashes(SymbolView symbols, CHeader& header, const CStringTable& strings);

}  // namespace quillet
