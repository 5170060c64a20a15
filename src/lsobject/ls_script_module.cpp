// Module lifecycle and checksum.
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

uint32_t CLSScriptModule::StoredChecksum() const {
  const auto data = symbolTable_.Data();
  return data.size() < CSymbolTable::kChecksumBytes ? 0 : LoadU32(data.data());
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

}  // namespace quillet
