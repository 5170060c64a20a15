// What `quillet dump` shows of a compiled module, built once as JSON; the text
// form is rendered from the same document.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "lsobject/ls_script_module.h"

namespace quillet::tool {

// Header fields, sections, checksum, strings, symbols by scope, procedures
// with their disassembly, classes and declarations of a parsed module. Never
// throws for a malformed module: what cannot be read is left out or marked
// ("decoded": false, "error").
nlohmann::ordered_json DumpModule(CLSScriptModule& module);

// The text form of a DumpModule document.
std::string RenderDumpText(const nlohmann::ordered_json& dump);

}  // namespace quillet::tool
