// Module lifecycle, checksum and header update.
#include "lsobject/ls_script_module.h"

namespace quillet {

void CLSScriptModule::Reset() {
  header_.Clear();
  extendedSymbolTable_.Clear();
  symbolTable_.Clear();
  stringTable_.Clear();
  byteCode_.Clear();
  labelOffsets_.Clear();
  productMacros_.Clear();
  lineNumbers_.Clear();
  jumpTable_.Clear();
  prefix_.reset();
  unknownSections_.clear();
  itemInfo_.Clear();
}

uint32_t CLSScriptModule::ComputeChecksum() const {
  uint32_t crc = 0;
  crc = header_.UpdateChecksum(crc);
  crc = stringTable_.UpdateChecksum(crc);
  crc = symbolTable_.UpdateChecksum(crc);
  crc = byteCode_.UpdateChecksum(crc);
  crc = productMacros_.UpdateChecksum(crc);
  return crc;
}

void CLSScriptModule::UpdateHeader() {
  CHeader& h = header_;
  if (!h.Holds(0, header::kMinLength)) return;  // Parse never leaves such a header
  const bool wide = h.Length() >= static_cast<int32_t>(header::kWideBlockMinLength);

  if (!labelOffsets_.Empty() || !jumpTable_.Empty() ||
      static_cast<uint32_t>(byteCode_.Length()) >= header::kExtendedByteCodeLength) {
    h.SetU16(header::kFormatLevel, header::kExtendedFormatLevel);
    h.SetU16(header::kFlags, h.U16(header::kFlags) | header::kExtendedFormatFlag);
  }

  RebuildStringChains();

  const CExtendedStringTable& extendedStrings = stringTable_.Extended();
  if (wide) {
    h.SetU32(header::kStringSegmentCount, static_cast<uint32_t>(stringTable_.SegmentCount()));
    h.SetU32(header::kStringLength32, static_cast<uint32_t>(stringTable_.TotalSize()));
    h.SetU32(header::kExtendedStringCount, static_cast<uint32_t>(extendedStrings.TotalSize() / 4));
    h.SetU32(header::kSymbolSegmentCount, static_cast<uint32_t>(symbolTable_.SegmentCount()));
    h.SetU32(header::kSymbolLength32, static_cast<uint32_t>(symbolTable_.TotalSize()));
    h.SetU32(header::kExtendedSymbolCount, static_cast<uint32_t>(extendedSymbolTable_.TotalSize() / 4));
    h.SetU32(header::kByteCodeLength32, static_cast<uint32_t>(byteCode_.TotalSize()));
  }
  h.SetU16(header::kStringLength16, static_cast<uint16_t>(stringTable_.TotalSize()));
  h.SetU16(header::kSymbolLength16, static_cast<uint16_t>(symbolTable_.TotalSize()));
  h.SetU16(header::kByteCodeLength16, static_cast<uint16_t>(byteCode_.TotalSize()));

  RebuildScopeHashes();

  // The checksum lives in the symbol data's first word, which it skips; a
  // symbol table too short to hold it has nowhere to keep it.
  const uint32_t checksum = ComputeChecksum();
  if (symbolTable_.Length() >= static_cast<int32_t>(CSymbolTable::kChecksumBytes))
    StoreU32(symbolTable_.MutableData().data(), checksum);

  if (h.Length() > static_cast<int32_t>(header::kChecksummedLength)) {
    // Headers between 301 and 395 bytes do not come from the runtime; the
    // counts are written only where they fit.
    if (h.Holds(header::kLabelOffsetCount, 4))
      h.SetU32(header::kLabelOffsetCount, static_cast<uint32_t>(labelOffsets_.Length() / 4));
    if (h.Holds(header::kJumpCount, 4))
      h.SetU32(header::kJumpCount, static_cast<uint32_t>(jumpTable_.Length() / 8));
  }
}

}  // namespace quillet
