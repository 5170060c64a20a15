// Built only by the layering test: the module model using the byte-code
// layer below it, which must build; it shows the probe set-up itself works.
#include "bytecode/opcode.h"
