// What a refused rewrite puts back: a copy of every section the rewrite may
// change, taken before it starts, so that a refused module is left exactly as
// it was (the timer class and timer variables added before the refusal go too).
// The strings are copied without their lookup maps: a module put back builds
// them again from its strings, and most rewrites never put anything back.
#pragma once

#include "lsobject/ls_script_module.h"

namespace quillet {

class ModuleSnapshot {
 public:
  explicit ModuleSnapshot(CLSScriptModule& module);
  // Puts every copied section back into the module.
  void Restore();
  // The byte code as it was when the copy was taken (until Restore).
  std::span<const uint8_t> ByteCode() const { return byteCode_.Data(); }

 private:
  CLSScriptModule& module_;
  CHeader header_;
  CSymbolTable symbols_;
  CExtendedSymbolTable extendedSymbols_;
  CStringTable strings_;
  CByteCode byteCode_;
  CLabelOffsetTable labels_;
  CFunctionLineNumbers lineNumbers_;
  CJumpTable jumps_;
  CProductMacros macros_;
};

}  // namespace quillet
