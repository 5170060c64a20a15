// Statuses of compiled-formula validation and re-encoding (texts in
// formula_messages.cpp). Validation reports kErrInvalidFormula, the host's
// formula status, for every fault; re-encoding reports the detailed codes.
#pragma once

#include "config/status.h"
#include "design/design_messages.h"

namespace quillet {

inline constexpr Status32 kErrFormulaRecordNotFound = 0x10851;  // "Formula record not found"
inline constexpr Status32 kErrBadFormulaExpression = 0x10852;   // "Bad formula expression"
inline constexpr Status32 kErrBadFormulaOperation = 0x10853;    // "Bad formula expression record"
inline constexpr Status32 kErrFormulaStackUnderflow = 0x10854;  // "Formula stack underflow"
inline constexpr Status32 kErrFormulaStackOverflow = 0x10855;   // "Formula stack overflow"
inline constexpr Status32 kErrBadFormula = 0x10856;             // "Bad formula"

}  // namespace quillet
