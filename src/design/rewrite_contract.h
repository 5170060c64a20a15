// The contract every rewrite of a design item follows: values, records and
// formulas append their (possibly rewritten) stored form to a RecordBuffer
// and hand the pieces the rewrite flags select to the caller's callback.
#pragma once

#include <cstdint>
#include <span>

#include "config/status.h"
#include "design/record_buffer.h"

namespace quillet {

class CodeLocation;

// Rewrite flags. The profiling path sets only kRewriteObjectCode.
inline constexpr uint32_t kRewriteText = 0x02;        // text pieces go to the callback
inline constexpr uint32_t kRewriteObjectCode = 0x40;  // compiled LotusScript goes to the callback

// What a piece of a value holds.
enum class PieceKind : int {
  Formula = 1,     // a compiled formula
  Text = 2,        // plain text
  Script = 4,      // LotusScript source
  ObjectCode = 5,  // compiled LotusScript
};

// Appends to `out` the bytes that replace `piece` (the piece itself when
// nothing is to change) and returns 0, or returns a nonzero status that
// aborts the rewrite. It must not touch what `out` held before; the caller
// fixes every length that depends on the piece afterwards.
using RewriteCallback = Status32 (*)(PieceKind kind, std::span<const uint8_t> piece, uint32_t flags, RecordBuffer& out,
                                     CodeLocation* location, void* user);

// The caller's side of a rewrite, passed on unchanged to every piece.
struct RewriteArgs {
  uint32_t flags = 0;
  CodeLocation* location = nullptr;  // may be null
  RewriteCallback callback = nullptr;
  void* user = nullptr;
};

// Whether `args` hands pieces of `kind` to the callback.
bool SelectsPiece(const RewriteArgs& args, PieceKind kind);

// Appends a text, script or object-code piece: through the callback when the
// flags select its kind, else unchanged. `length` receives the number of
// bytes appended for it. A callback status is returned unchanged.
[[nodiscard]] Status32 EmitPiece(PieceKind kind, std::span<const uint8_t> piece, const RewriteArgs& args,
                                 RecordBuffer& out, size_t& length);

}  // namespace quillet
