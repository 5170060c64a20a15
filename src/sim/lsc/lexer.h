// Splits LotusScript source into tokens: case-insensitive names, "_" line
// continuation, "'" and Rem comments, %Rem blocks.
#pragma once

#include <string_view>
#include <vector>

#include "sim/lsc/compiler.h"
#include "sim/lsc/token.h"

namespace quillet::lsc {

// Tokenises the whole source. Lexical errors are appended to `errors`; the
// token list always ends with kNewline, kEnd.
std::vector<Token> Tokenize(std::string_view source, std::vector<CompileError>& errors);

}  // namespace quillet::lsc
