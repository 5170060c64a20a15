// The table-driven rewrite callback of the tests.
#include "support/piece_callbacks.h"

#include "design/code_location.h"

namespace quillet::kit {

RewriteArgs PieceReplacer::Args(uint32_t flags) { return RewriteArgs{flags, nullptr, &Callback, this}; }

Status32 PieceReplacer::Callback(PieceKind kind, std::span<const uint8_t> piece, uint32_t /*flags*/,
                                 RecordBuffer& out, CodeLocation* /*location*/, void* user) {
  auto& self = *static_cast<PieceReplacer*>(user);
  std::string text(piece.begin(), piece.end());
  self.seen.push_back(text);
  self.kinds.push_back(kind);
  if (self.failWith != kNoError) return self.failWith;
  auto found = self.replacements.find(text);
  if (found != self.replacements.end()) text = found->second;
  return out.Append(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

RewriteArgs PlaceRecorder::Args(CodeLocation& location) { return {kRewriteText, &location, &Recorded, this}; }

Status32 PlaceRecorder::Recorded(PieceKind kind, std::span<const uint8_t> piece, uint32_t flags, RecordBuffer& out,
                                 CodeLocation* location, void* user) {
  static_cast<PlaceRecorder*>(user)->places.push_back(location->Render());
  return Callback(kind, piece, flags, out, location, user);
}

}  // namespace quillet::kit
