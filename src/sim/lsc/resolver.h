// Semantic pass: declares the module's names, resolves every name of every
// procedure body to its symbol and enforces Option Declare.
#pragma once

#include <vector>

#include "sim/lsc/ast.h"
#include "sim/lsc/compiler.h"
#include "sim/lsc/symbols.h"

namespace quillet::lsc {

// Fills `symbols` from `module` and annotates the expressions and
// declarations of `module` with their symbols. Returns false when any error
// was appended to `errors`.
bool ResolveModule(Module& module, ModuleSymbols& symbols, std::vector<CompileError>& errors);

}  // namespace quillet::lsc
