// Rewrite callbacks for tests: one that replaces text pieces by a table and
// records every piece it is handed, and one that records their places too.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "design/rewrite_contract.h"

namespace quillet::kit {

struct PieceReplacer {
  std::map<std::string, std::string> replacements;  // pieces not listed stay as they are
  std::vector<std::string> seen;                    // every piece handed over, in order
  std::vector<PieceKind> kinds;
  Status32 failWith = kNoError;                     // returned instead of replacing when set

  // Hands text pieces to this replacer.
  RewriteArgs Args(uint32_t flags = kRewriteText);
  static Status32 Callback(PieceKind kind, std::span<const uint8_t> piece, uint32_t flags, RecordBuffer& out,
                           CodeLocation* location, void* user);
};

// A PieceReplacer that also records the rendered location of every piece.
struct PlaceRecorder : PieceReplacer {
  std::vector<std::string> places;
  RewriteArgs Args(CodeLocation& location);
  static Status32 Recorded(PieceKind kind, std::span<const uint8_t> piece, uint32_t flags, RecordBuffer& out,
                           CodeLocation* location, void* user);
};

}  // namespace quillet::kit
