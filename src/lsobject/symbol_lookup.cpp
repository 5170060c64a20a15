// Finding module-level symbols, variables and labels by name or code offset.
#include "lsobject/code_tables.h"
#include "lsobject/string_table.h"
#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet {

using namespace symbol;

bool SymbolView::FindModuleSymbol(const CHeader& header, CStringTable& strings, uint16_t kind,
                                  std::string_view name, uint32_t& handle) const {
  handle = 0;
  if (symbols == nullptr) return false;
  SymbolIndex& index = symbols->Index();
  const size_t length = symbols->Data().size();
  bool unsure = false;
  if (index.NamesValid(length)) {
    const bool found = index.FindName(kind, name, handle, unsure);
    if (!unsure) return found;
  }
  // Names compare exactly, so the first entry of each (kind, text) in walk
  // order answers every later look-up.
  index.BeginNames(length);
  WalkModule(header, false, [&](const SymbolVisit& v) {
    index.AddName(v.kind, strings.TextOf(v.name), v.handle);
    return true;
  });
  return index.FindName(kind, name, handle, unsure);
}

bool SymbolView::FindVariable(CStringTable& strings, uint32_t first, std::string_view name,
                              uint32_t& handle) const {
  handle = 0;
  WalkSymbols(first, 0, false, [&](const SymbolVisit& v) {
    if (v.kind != kVariable || strings.TextOf(v.name) != name) return true;
    handle = v.handle;
    return false;
  });
  return handle != 0;
}

uint32_t SymbolView::FindLabel(const CLabelOffsetTable& labels, uint32_t procedure, uint32_t codeOffset) const {
  const uint32_t at = Resolve(procedure);
  const uint16_t kind = U16(at);
  if (kind != kFunction && kind != kSub && kind != kProperty) return 0;
  uint32_t found = 0;
  WalkSymbols(U16(uint64_t{at} + kLabelScope + kScopeFirst), procedure, false, [&](const SymbolVisit& v) {
    if (labels.Resolve(Field16(v.handle, kLabelTarget)) != codeOffset) return true;
    found = v.handle;
    return false;
  });
  return found;
}

}  // namespace quillet
