// Module images: every listed procedure is decoded and its control structures
// marked, as `quillet dump` does; nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "lsobject/ls_script_module.h"
#include "tools/quillet/module_disasm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillet::CLSScriptModule module;
  if (!module.Parse(std::span<const uint8_t>(data, size))) return 0;
  const nlohmann::ordered_json procedures = quillet::tool::DisassembleProcedures(module);
  static_cast<void>(procedures.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
  return 0;
}
