// Compiled formulas through ValidateFormula and RewriteFormula. The first
// input byte picks the callback: none, one that lengthens every text piece
// (moving every later operation and jump target) or one that refuses. An
// invalid formula is copied unchanged; a valid one re-encodes to a formula
// that validates and re-encodes to itself; a lengthened one still validates;
// a refusal is returned as it was given.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "design/design_messages.h"
#include "design/record_buffer.h"
#include "design/rewrite_contract.h"
#include "formula/formula.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace quillet;

constexpr Status32 kRefused = 0x7A11;  // a callback status no rewrite makes itself

Status32 Lengthen(PieceKind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out, CodeLocation*, void*) {
  if (const Status32 status = out.Append(piece)) return status;
  return out.AppendZeros(3);  // odd, so the padding after it changes too
}

Status32 Refuse(PieceKind, std::span<const uint8_t>, uint32_t, RecordBuffer&, CodeLocation*, void*) {
  return kRefused;
}

bool Same(const RecordBuffer& buffer, std::span<const uint8_t> bytes) {
  return std::ranges::equal(buffer.bytes(), bytes);
}

}  // namespace

namespace quillet::fuzz {

int Formula(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0] % 3;
  const std::span<const uint8_t> piece(data + 1, size - 1);
  // A formula lives inside one record of one item segment; half a segment
  // leaves room for what the lengthening callback adds.
  if (piece.size() > RecordBuffer::kSegmentSize / 2) return 0;

  const Status32 validity = ValidateFormula(piece);
  FUZZ_CHECK(validity == kNoError || validity == kErrInvalidFormula);
  const bool rewritable = validity == kNoError && piece.size() >= 2;

  RecordBuffer first;
  FUZZ_CHECK(RewriteFormula(piece, {}, first) == kNoError);
  if (!rewritable) {
    FUZZ_CHECK(Same(first, piece));
  } else {
    FUZZ_CHECK(ValidateFormula(first.bytes()) == kNoError);
    RecordBuffer again;
    FUZZ_CHECK(RewriteFormula(first.bytes(), {}, again) == kNoError);
    FUZZ_CHECK(Same(again, first.bytes()));
  }

  if (mode == 1) {
    RecordBuffer lengthened;
    const Status32 status = RewriteFormula(piece, {kRewriteText, nullptr, &Lengthen, nullptr}, lengthened);
    FUZZ_CHECK(status == kNoError || status == kErrOutOfMemory);
    if (status == kNoError && !rewritable) FUZZ_CHECK(Same(lengthened, piece));
    if (status == kNoError && rewritable) FUZZ_CHECK(ValidateFormula(lengthened.bytes()) == kNoError);
  } else if (mode == 2) {
    RecordBuffer refused;
    const Status32 status = RewriteFormula(piece, {kRewriteText, nullptr, &Refuse, nullptr}, refused);
    FUZZ_CHECK(status == kNoError || status == kRefused);
    if (status == kNoError) FUZZ_CHECK(Same(refused, first.bytes()));  // no text piece was handed over
  }
  return 0;
}

}  // namespace quillet::fuzz

QUILLET_FUZZ_ENTRY(Formula)
