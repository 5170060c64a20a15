// A formula record's operation stream: checked for sizes, stack balance and
// jump targets, and re-encoded operation by operation with every jump offset
// recomputed from where its operation and its target land.
#pragma once

#include <cstdint>
#include <span>

#include "config/status.h"
#include "design/record_buffer.h"
#include "design/rewrite_contract.h"

namespace quillet {

// 0 when the operations fill the stream exactly, the running stack sum stays
// above 0 and ends at exactly 1, and every jump reaches an operation or the
// end of the stream. Otherwise kErrBadFormulaOperation (an operation word
// without a size), kErrBadFormulaExpression (sizes or a jump target),
// kErrFormulaStackUnderflow or kErrFormulaStackOverflow.
[[nodiscard]] Status32 ValidateOperationStream(std::span<const uint8_t> stream);

// Appends the stream to `out`: strings as text pieces (through the callback
// when the flags select text), names and other operations copied, strings
// and names padded to even, jump offsets rewritten so that each jump still
// reaches the same operation. REQUIRES: the stream passed validation (a
// stream that did not fails with its validation status, partly appended).
[[nodiscard]] Status32 ReencodeOperationStream(std::span<const uint8_t> stream, const RewriteArgs& args,
                                               RecordBuffer& out);

}  // namespace quillet
