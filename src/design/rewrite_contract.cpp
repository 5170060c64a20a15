// Pieces through the rewrite callback or copied unchanged.
#include "design/rewrite_contract.h"

namespace quillet {

bool SelectsPiece(const RewriteArgs& args, PieceKind kind) {
  if (args.callback == nullptr) return false;
  switch (kind) {
    case PieceKind::Text: return (args.flags & kRewriteText) != 0;
    case PieceKind::ObjectCode: return (args.flags & kRewriteObjectCode) != 0;
    default: return false;  // formulas are re-encoded, scripts copied
  }
}

Status32 EmitPiece(PieceKind kind, std::span<const uint8_t> piece, const RewriteArgs& args, RecordBuffer& out,
                   size_t& length) {
  const size_t start = out.length();
  Status32 status = SelectsPiece(args, kind) ? args.callback(kind, piece, args.flags, out, args.location, args.user)
                                             : out.Append(piece);
  if (status != kNoError) return status;
  length = out.length() - start;
  return kNoError;
}

}  // namespace quillet
