// The code-piece rule every composite-data record applies to its variable
// pieces: compiled formulas are validated and re-encoded, text and
// LotusScript source go through the rewrite contract.
#pragma once

#include <cstddef>
#include <span>

#include "design/record_buffer.h"
#include "design/rewrite_contract.h"

namespace quillet {

// Appends `piece`, stored as `kind`, to `out`; `length` receives the bytes
// appended for it. A formula piece of 0 bytes stays empty, one byte or an
// invalid formula is copied. Object code never takes this path: the records
// that carry it call the callback themselves.
[[nodiscard]] Status32 EmitCodePiece(PieceKind kind, std::span<const uint8_t> piece, const RewriteArgs& args,
                                     RecordBuffer& out, size_t& length);

}  // namespace quillet
