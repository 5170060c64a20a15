// Compiled formulas inside design records: validated, then re-encoded record
// by record so that every length and jump offset is recomputed from what is
// actually written. With no piece changed by the callback, a valid formula
// comes out byte for byte as it went in.
#pragma once

#include <cstdint>
#include <span>

#include "config/status.h"
#include "design/record_buffer.h"
#include "design/rewrite_contract.h"

namespace quillet {

// 0 when `piece` holds a formula that can be re-encoded, or one without any
// record; kErrInvalidFormula otherwise (a total length beyond the piece, a
// record or operation running past its end, an unbalanced stack, a jump
// that reaches no operation).
[[nodiscard]] Status32 ValidateFormula(std::span<const uint8_t> piece);

// Appends the formula piece to `out`: empty stays empty; one byte, an
// invalid formula and a formula without records are copied unchanged;
// otherwise the records ahead of the first type-4 record are copied and the
// rest re-encoded, with the total length rewritten. Bytes of the piece after
// the formula's total length are copied after it. Returns buffer and
// callback statuses, or the re-encoding statuses of formula_status.h.
[[nodiscard]] Status32 RewriteFormula(std::span<const uint8_t> piece, const RewriteArgs& args, RecordBuffer& out);

}  // namespace quillet
