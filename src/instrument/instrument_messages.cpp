// Messages of the module and note instrumentation (warnings and refusals).
#include "config/message_catalog.h"
#include "instrument/instrument_lines.h"
#include "instrument/note_instrument.h"
#include "instrument/timer_class.h"

namespace quillet {

namespace {

const MessageEntry kInstrumentMessages[] = {
    {kErrProfilerNotEnabled, "Profiler is not enabled."},
    {kErrDatabaseNotWatched, "Profiler is watching this database."},
    {kErrCouldNotLoadFunction, "Instrument Lines: Could not load function %s."},
    {kErrJumpTooBig, "Instrument Lines: Jump too big: %s."},
    {kErrHotspotTooLarge, "Instrument failed: Hotspot > 64k: (%d) %s."},
    {kErrCouldNotCreateClass, "Instrument failed: Could not create class. Module:'%s'."},
    {kErrCouldNotCreateDeclarations, "Instrument failed: Could not create declarations. Module:'%s'."},
    {kErrNoLines, "NO LINES: Line instrumentation skipped for function '%s'."},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kInstrumentMessagesRegistration(kInstrumentMessages);

}  // namespace quillet
