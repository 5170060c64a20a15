// Adding variables, constructor parameters, library names and external
// declarations to the symbol table.
#include "lsobject/string_table.h"
#include "lsobject/symbol_add_common.h"
#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet {

using namespace symbol;

uint32_t SymbolView::AddVariable(CHeader& header, CStringTable& strings, uint32_t owner, uint16_t dataType,
                                 uint16_t typeArgument, uint16_t flags, std::string_view name) const {
  const uint32_t ownerAt = Resolve(owner);
  const uint16_t ownerKind = U16(ownerAt);
  const bool procedure = IsProcedureKind(ownerKind);
  if (owner == 0 || (!procedure && ownerKind != kClass) || !Holds(ownerAt, procedure ? kProcedureSize : kClassSize))
    return 0;
  const bool parameter = (flags & kParameterFlag) != 0;
  const uint16_t slot = U16(uint64_t{ownerAt} + (procedure && !parameter ? kFrameSize : kParameterCount));

  uint8_t entry[kVariableSize] = {};
  StoreU16(entry + kKind, kVariable);
  StoreU16(entry + kFlags, flags);
  StoreU16(entry + kName, strings.FindOrAddString(name));
  StoreU16(entry + kDataType, dataType);
  StoreU16(entry + kSlot, slot);
  StoreU16(entry + kTypeArgument, typeArgument);
  const uint32_t at = AppendEntries(header, entry);
  if (at == kNoOffset) return 0;
  const uint32_t handle = EncodeSymbolOffset(at);

  AppendToScope(*this, ownerAt + kLocalScope, handle);  // members and locals share offset 16
  if (procedure) {
    if (!parameter) SetU16(uint64_t{ownerAt} + kFrameSize, static_cast<uint16_t>(slot + 4));
  } else {
    SetU16(uint64_t{ownerAt} + kMemberCount, static_cast<uint16_t>(U16(uint64_t{ownerAt} + kMemberCount) + 1));
    SetU16(uint64_t{ownerAt} + kInstanceSize, static_cast<uint16_t>(slot + 4));
  }
  return handle;
}

uint32_t SymbolView::ConstructorClass(CStringTable& strings, uint32_t procedure) const {
  if (!IsProcedureKind(Kind(procedure))) return 0;
  const uint32_t owner = Owner(procedure);
  if (owner == 0 || Kind(owner) != kClass) return 0;
  const std::string& procedureName = strings.TextOf(NameHandle(procedure));
  const ModuleText& text = strings.Text();
  if (text.Compare(procedureName, "DELETE", kCompareNoCase) == 0) return 0;
  if (text.Compare(procedureName, "NEW", kCompareNoCase) != 0) return 0;
  return owner;
}

uint32_t SymbolView::AddConstructorParameter(CHeader& header, CStringTable& strings, uint32_t procedure,
                                             std::string_view name) const {
  const uint32_t owner = ConstructorClass(strings, procedure);
  return owner == 0 ? 0 : AddParameterOf(header, strings, procedure, owner, name);
}

uint32_t SymbolView::AddParameterOf(CHeader& header, CStringTable& strings, uint32_t procedure, uint32_t owner,
                                    std::string_view name) const {
  const uint32_t handle = AddVariable(header, strings, procedure, kVariantType, 0, kParameterFlag, name);
  if (handle == 0) return 0;
  SetField16(procedure, kParameterCount, static_cast<uint16_t>(Field16(procedure, kParameterCount) + 1));
  SetField16(owner, kConstructorParameters, static_cast<uint16_t>(Field16(owner, kConstructorParameters) + 1));
  return handle;
}

uint32_t SymbolView::AddLibraryEntry(CHeader& header, CStringTable& strings, std::string_view library) const {
  if (!HeaderUsable(header)) return 0;
  const uint16_t name = strings.FindOrAddString(library);
  uint8_t entry[kLibrarySize] = {};
  StoreU16(entry + kKind, kLibrary);
  StoreU16(entry + 4, name);
  StoreU16(entry + 6, 0xFFFF);
  const uint32_t at = AppendEntries(header, entry);
  if (at == kNoOffset) return 0;
  const uint32_t handle = EncodeSymbolOffset(at);

  header.SetU16(header::kDeclarationCount, static_cast<uint16_t>(header.U16(header::kDeclarationCount) + 1));
  const uint32_t first = header.U16(kLibraryChain);
  if (first != 0) {
    SetNextSibling(handle, NextSibling(first));
    SetNextSibling(first, handle);
  } else {
    header.SetU16(kLibraryChain, static_cast<uint16_t>(handle));  // an empty chain starts with it
  }
  symbols->Index().NoteAddedName(kLibrary, strings.TextOf(name), handle);
  return handle;
}

uint32_t SymbolView::AddExternalDeclaration(CHeader& header, CStringTable& strings, std::string_view name,
                                            std::string_view alias, std::string_view library,
                                            std::span<const uint32_t> parameterWords) const {
  const size_t n = parameterWords.size();
  const bool pad = (2 * n) % 4 != 0;
  const size_t size = kParameterWords + 2 * n + (pad ? 2 : 0);
  if (size > kMaxEntrySize) return 0;
  const uint32_t libraryEntry = AddLibraryEntry(header, strings, library);
  if (libraryEntry == 0) return 0;

  std::vector<uint8_t> entry(size, 0);
  uint8_t* e = entry.data();
  const uint16_t nameHandle = strings.FindOrAddString(name);
  StoreU16(e + kKind, kDeclaration);
  StoreU16(e + kSibling, header.U16(header::kScope1 + kScopeFirst));
  StoreU16(e + kName, nameHandle);
  StoreU16(e + 10, kDeclarationMarker);
  StoreU16(e + kAlias, strings.FindOrAddString(alias));
  StoreU16(e + kLibraryEntry, static_cast<uint16_t>(libraryEntry));
  StoreU16(e + kWordCountPlusOne, static_cast<uint16_t>(n + 1));
  StoreU16(e + kWordCount, static_cast<uint16_t>(n));
  StoreU16(e + 38, kDeclarationMarker);
  for (size_t i = 0; i < n; ++i) StoreU16(e + kParameterWords + 2 * i, static_cast<uint16_t>(parameterWords[i]));
  if (pad) StoreU16(e + kParameterWords + 2 * n, kParameterPad);
  const uint32_t at = AppendEntries(header, entry);
  if (at == kNoOffset) return 0;
  const uint32_t handle = EncodeSymbolOffset(at);

  // Declarations go to the front of module scope 1.
  header.SetU16(header::kDeclarationCount, static_cast<uint16_t>(header.U16(header::kDeclarationCount) + 1));
  const size_t scope = header::kScope1;
  header.SetU16(scope + kScopeCount, static_cast<uint16_t>(header.U16(scope + kScopeCount) + 1));
  header.SetU16(scope + kScopeFirst, static_cast<uint16_t>(handle));
  if (header.U16(scope + kScopeLast) == 0) header.SetU16(scope + kScopeLast, static_cast<uint16_t>(handle));
  symbols->Index().NoteAddedName(kDeclaration, strings.TextOf(nameHandle), handle);
  return handle;
}

}  // namespace quillet
