// Conversions between the seam's values and the C API's, for the binding.
#pragma once

#include <string>
#include <string_view>

#include "config/nnotes/c_api.h"
#include "config/notes_api.h"

namespace quillet::nnotes {

// A zero-terminated copy for a C API argument.
inline std::string Z(std::string_view text) { return std::string(text); }

inline TIMEDATE ToHost(const TimeDate& time) { return TIMEDATE{{time.innards[0], time.innards[1]}}; }
inline TimeDate FromHost(const TIMEDATE& time) { return TimeDate{{time.innards[0], time.innards[1]}}; }

}  // namespace quillet::nnotes
