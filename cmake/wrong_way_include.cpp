// Built only by the layering test: the module model reaching up into the
// instrumentation layer, which its include root must not let it see.
#include "instrument/module_instrument.h"
