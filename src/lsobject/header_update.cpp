// The header update: sizes, string chains, scope hashes and checksum made
// consistent with the sections before the header is written.
#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_hashes.h"

namespace quillet {

void CLSScriptModule::RebuildStringChains() { stringTable_.RebuildStringChains(header_); }

void CLSScriptModule::RebuildScopeHashes() { quillet::RebuildScopeHashes(Symbols(), header_, stringTable_); }

bool CLSScriptModule::RebuildScopeHashesIfFit() {
  return quillet::RebuildScopeHashesIfFit(Symbols(), header_, stringTable_);
}

bool CLSScriptModule::ScopeHashesFit() { return ScopeHashesFitEntries(Symbols(), header_, stringTable_); }

void CLSScriptModule::UpdateHeader() {
  CHeader& h = header_;
  if (!h.Holds(0, header::kMinLength)) return;  // Parse never leaves such a header
  const size_t length = static_cast<size_t>(h.Length());
  const bool wide = length >= header::kWideBlockMinLength;
  auto total = [](const CMultiSection& s) { return static_cast<uint32_t>(s.TotalSize()); };
  // 1. The extended format, needed by the code tables and by long byte code.
  if (!labelOffsets_.Empty() || !jumpTable_.Empty() ||
      static_cast<uint32_t>(byteCode_.Length()) >= header::kExtendedByteCodeLength) {
    h.SetU16(header::kFormatLevel, header::kExtendedFormatLevel);
    h.SetU16(header::kFlags, h.U16(header::kFlags) | header::kExtendedFormatFlag);
  }
  // 2. String hash chains and their heads.
  RebuildStringChains();
  // 3.-5. String table: segments, size, extended entries.
  if (wide) h.SetU32(header::kStringSegmentCount, static_cast<uint32_t>(stringTable_.SegmentCount()));
  if (wide) h.SetU32(header::kStringLength32, total(stringTable_));
  h.SetU16(header::kStringLength16, static_cast<uint16_t>(total(stringTable_)));
  if (wide) h.SetU32(header::kExtendedStringCount, total(stringTable_.Extended()) / 4);
  // 6.-8. Symbol table: segments, size, extended entries.
  if (wide) h.SetU32(header::kSymbolSegmentCount, static_cast<uint32_t>(symbolTable_.SegmentCount()));
  if (wide) h.SetU32(header::kSymbolLength32, total(symbolTable_));
  h.SetU16(header::kSymbolLength16, static_cast<uint16_t>(total(symbolTable_)));
  if (wide) h.SetU32(header::kExtendedSymbolCount, total(extendedSymbolTable_) / 4);
  // 9. Byte-code size.
  if (wide) h.SetU32(header::kByteCodeLength32, total(byteCode_));
  h.SetU16(header::kByteCodeLength16, static_cast<uint16_t>(total(byteCode_)));
  // 10. Scope hash tables.
  RebuildScopeHashes();
  // 11. The checksum lives in the symbol data's first word, which it skips; a
  // symbol table too short to hold it has nowhere to keep it.
  const uint32_t checksum = ComputeChecksum();
  if (symbolTable_.Length() >= static_cast<int32_t>(CSymbolTable::kChecksumBytes))
    StoreU32(symbolTable_.MutableData().data(), checksum);
  // 12. Code-table counts, beyond the checksummed bytes. Headers between 301
  // and 395 bytes do not come from the runtime; the counts go only where
  // they fit.
  if (length > header::kChecksummedLength) {
    if (h.Holds(header::kLabelOffsetCount, 4))
      h.SetU32(header::kLabelOffsetCount, static_cast<uint32_t>(labelOffsets_.Length() / 4));
    if (h.Holds(header::kJumpCount, 4))
      h.SetU32(header::kJumpCount, static_cast<uint32_t>(jumpTable_.Length() / 8));
  }
}

}  // namespace quillet
