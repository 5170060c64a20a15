// The message tables of the subsystems, each defined next to the code that
// raises its statuses and merged by LoadMessageCatalog. Naming them here keeps
// every table linked into the static library's users.
#pragma once

#include "config/message_catalog.h"

namespace quillet {

extern const MessageEntry kConfigMessages[];      // src/config/config_messages.cpp
extern const MessageEntry kHookMessages[];        // src/hook/hook_messages.cpp
extern const MessageEntry kLsObjectMessages[];    // src/lsobject/lsobject_messages.cpp
extern const MessageEntry kInstrumentMessages[];  // src/instrument/instrument_messages.cpp
extern const MessageEntry kDesignMessages[];      // src/design/design_messages.cpp
extern const MessageEntry kFormulaMessages[];     // src/formula/formula_messages.cpp

}  // namespace quillet
