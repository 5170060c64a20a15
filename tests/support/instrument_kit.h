// Instruments a compiled module image as a script library, the way the
// tests that run rewritten code need it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/status.h"
#include "timing/profile_app.h"

namespace quillet::kit {

// The image rewritten as the item "$ScriptLib_O" of note 0x2A titled
// `title`, with `flags`, its procedures registered in `profile`. `status`
// is the rewrite's; the module is serialised whatever it is.
std::vector<uint8_t> InstrumentLibrary(const std::vector<uint8_t>& image, CLSProfileApp& profile,
                                       const std::string& title, int32_t flags, Status32& status);

}  // namespace quillet::kit
