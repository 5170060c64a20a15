// Module images: a parsed module serialises to an image that parses again and
// serialises to the same bytes (writing a module twice changes nothing).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "lsobject/ls_script_module.h"

namespace quillet::fuzz {

int ModuleRoundtrip(const uint8_t* data, size_t size) {
  CLSScriptModule module;
  if (!module.Parse(std::span<const uint8_t>(data, size))) return 0;
  const std::vector<uint8_t> once = module.Serialize();
  CLSScriptModule again;
  FUZZ_CHECK(again.Parse(once));
  FUZZ_CHECK(again.Serialize() == once);
  return 0;
}

}  // namespace quillet::fuzz

QUILLET_FUZZ_ENTRY(ModuleRoundtrip)
