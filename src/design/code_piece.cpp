// The code-piece rule: formulas through their re-encoder, the rest through
// the rewrite contract.
#include "design/code_piece.h"

#include "formula/formula.h"

namespace quillet {

Status32 EmitCodePiece(PieceKind kind, std::span<const uint8_t> piece, const RewriteArgs& args, RecordBuffer& out,
                       size_t& length) {
  if (kind != PieceKind::Formula) return EmitPiece(kind, piece, args, out, length);
  const size_t start = out.length();
  if (Status32 status = RewriteFormula(piece, args, out)) return status;
  length = out.length() - start;
  return kNoError;
}

}  // namespace quillet
