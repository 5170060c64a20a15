// Copying the sections a rewrite may change, and putting them back.
#include "instrument/module_instrument_snapshot.h"

namespace quillet {

ModuleSnapshot::ModuleSnapshot(CLSScriptModule& module)
    : module_(module),
      header_(module.Header()),
      symbols_(module.SymbolTable()),
      extendedSymbols_(module.ExtendedSymbolTable()),
      strings_(module.StringTable(), CStringTable::WithoutMaps{}),
      byteCode_(module.ByteCode()),
      labels_(module.LabelOffsets()),
      lineNumbers_(module.LineNumbers()),
      jumps_(module.JumpTable()),
      macros_(module.ProductMacros()) {}

void ModuleSnapshot::Restore() {
  module_.Header() = std::move(header_);
  module_.SymbolTable() = std::move(symbols_);
  module_.ExtendedSymbolTable() = std::move(extendedSymbols_);
  module_.StringTable() = std::move(strings_);
  module_.ByteCode() = std::move(byteCode_);
  module_.LabelOffsets() = std::move(labels_);
  module_.LineNumbers() = std::move(lineNumbers_);
  module_.JumpTable() = std::move(jumps_);
  module_.ProductMacros() = std::move(macros_);
}

}  // namespace quillet
