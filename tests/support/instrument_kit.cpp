// Instruments a compiled module image as a script library for tests.
#include "support/instrument_kit.h"

#include <gtest/gtest.h>

#include "instrument/item_context.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"

namespace quillet::kit {

std::vector<uint8_t> InstrumentLibrary(const std::vector<uint8_t>& image, CLSProfileApp& profile,
                                       const std::string& title, int32_t flags, Status32& status) {
  CLSScriptModule module;
  EXPECT_TRUE(module.Parse(image));
  ItemContext context;
  context.ItemName = "$ScriptLib_O";
  context.Title = title;
  context.NoteId = 0x2A;
  context.Flags = flags;
  status = InstrumentModule(module, context, profile);
  return module.Serialize();
}

}  // namespace quillet::kit
