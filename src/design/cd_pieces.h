// Records whose fixed part gives the lengths of text and formula pieces that
// follow it in order: the simple actions of action items, the terms of
// query items, and the captions, embedded views and tables of rich
// text. One table row per record says where each length sits, what
// the piece holds, and which location entries the record installs.
#pragma once

#include <span>

#include "design/cd_record.h"

namespace quillet {

struct PieceField {
  uint8_t lengthAt;  // offset of the length in the fixed part
  uint8_t width;     // 2 or 4 bytes
  PieceKind kind;
  int16_t codeKind;
};

struct PiecesLayout {
  uint16_t structure;
  int16_t replaceKind;     // 0: none
  int16_t pushKind;        // 0: none; popped again at the end of the record
  int16_t pushKindFlag2;   // pushed instead when flag 0x02 of the record's flags (at 4) is set; 0: same
  std::span<const PieceField> pieces;
};

class CKVXCDPieces : public CKVXCDRecord {
 public:
  CKVXCDPieces(uint16_t signature, std::span<const uint8_t> record, const PiecesLayout& layout)
      : CKVXCDRecord(signature, record), layout_(layout) {}
  // Every piece through the code-piece rule, its length fixed; bytes after
  // the last piece are kept.
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;

 private:
  const PiecesLayout& layout_;
};

// The member for a signature of an action item, a query item, or (any
// other `itemType`) the general table; null when memory runs out. False
// when the table does not list the signature.
bool MakePiecesMember(uint16_t itemType, uint16_t signature, std::span<const uint8_t> record, RecordArena& arena,
                      CKVXCDRecord*& made);

}  // namespace quillet
