// The disassembly of a module's procedures, for `quillet dump`.
#pragma once

#include <nlohmann/json.hpp>

#include "lsobject/ls_script_module.h"

namespace quillet::tool {

// One entry per listed procedure: name, handle, owner, flags, code_offset and
// the decoded, marked instructions (offset, opcode, name, operands, and where
// they apply target, targets, mark, kind, line, case_line, annotations,
// symbol, text). A procedure whose code does not decode gets "decoded": false
// and no instructions.
nlohmann::ordered_json DisassembleProcedures(CLSScriptModule& module);

}  // namespace quillet::tool
