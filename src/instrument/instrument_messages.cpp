// Messages of the module and note instrumentation (warnings and refusals).
#include "config/message_catalog.h"

namespace quillet {

namespace {

const MessageEntry kInstrumentMessages[] = {
    {0x12700, "Profiler is not enabled."},
    {0x12701, "Profiler is watching this database."},
    {0x12703, "Instrument Lines: Could not load function %s."},
    {0x12704, "Instrument Lines: Jump too big: %s."},
    {0x12706, "Instrument failed: Hotspot > 64k: (%d) %s."},
    {0x12707, "Instrument failed: Could not create class. Module:'%s'."},
    {0x12708, "Instrument failed: Could not create declarations. Module:'%s'."},
    {0x12709, "NO LINES: Line instrumentation skipped for function '%s'."},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kInstrumentMessagesRegistration(kInstrumentMessages);

}  // namespace quillet
