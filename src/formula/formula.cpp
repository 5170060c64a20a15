// Validation and rewrite of whole compiled formulas: the record walk, the
// start of the re-encoded part, and the total-length word.
#include "formula/formula.h"

#include <memory>

#include "formula/formula_record.h"
#include "formula/formula_status.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Walks the records of a formula by their lengths. Records start on even
// offsets: after an odd length, a pad byte follows unless the formula ends.
class RecordWalk {
 public:
  // REQUIRES: the formula holds at least its length word.
  explicit RecordWalk(std::span<const uint8_t> formula) : formula_(formula) {}

  // Reads the record at `pos` into `record`; kErrBadFormula when its header
  // or length runs past the formula or its length is below its header.
  Status32 At(size_t pos, std::span<const uint8_t>& record) const {
    if (pos > formula_.size() || formula_.size() - pos < kFormulaRecordHeader) return kErrBadFormula;
    const size_t length = LoadU16(formula_.data() + pos + 2);
    if (length < kFormulaRecordHeader || length > formula_.size() - pos) return kErrBadFormula;
    record = formula_.subspan(pos, length);
    return kNoError;
  }
  size_t Next(size_t pos, const std::span<const uint8_t>& record) const {
    size_t next = pos + record.size();
    if (next % 2 != 0 && next < formula_.size()) ++next;
    return next;
  }
  bool AtEnd(size_t pos) const { return pos >= formula_.size(); }

  // Where re-encoding starts: the first record of type 4, else the first
  // record; kErrFormulaRecordNotFound when there is none.
  Status32 ReencodedPart(size_t& start) const {
    if (AtEnd(kFormulaLengthWord)) return kErrFormulaRecordNotFound;
    for (size_t pos = kFormulaLengthWord; !AtEnd(pos);) {
      std::span<const uint8_t> record;
      if (Status32 status = At(pos, record)) return status;
      if (LoadU16(record.data()) == kFormulaReencodeStart) {
        start = pos;
        return kNoError;
      }
      pos = Next(pos, record);
    }
    start = kFormulaLengthWord;
    return kNoError;
  }

 private:
  std::span<const uint8_t> formula_;
};

// The formula inside a piece: its bytes up to the total length; false when
// the piece cannot hold the length word or the length it gives.
bool FormulaOf(std::span<const uint8_t> piece, std::span<const uint8_t>& formula) {
  if (piece.size() < kFormulaLengthWord) return false;
  const size_t total = LoadU16(piece.data());
  if (total < kFormulaLengthWord || total > piece.size()) return false;
  formula = piece.first(total);
  return true;
}

}  // namespace

Status32 ValidateFormula(std::span<const uint8_t> piece) {
  std::span<const uint8_t> formula;
  if (!FormulaOf(piece, formula)) return kErrInvalidFormula;
  const RecordWalk walk(formula);
  size_t pos = 0;
  if (Status32 status = walk.ReencodedPart(pos)) {
    return status == kErrFormulaRecordNotFound ? kNoError : kErrInvalidFormula;
  }
  while (!walk.AtEnd(pos)) {
    std::span<const uint8_t> record;
    if (walk.At(pos, record) != kNoError) return kErrInvalidFormula;
    std::unique_ptr<CFMMFormulaRecord> object;
    if (CreateFormulaRecord(record, object) != kNoError) return kErrInvalidFormula;
    if (object->ValidateFormulaRecord() != kNoError) return kErrInvalidFormula;
    pos = walk.Next(pos, record);
  }
  return kNoError;
}

Status32 RewriteFormula(std::span<const uint8_t> piece, const RewriteArgs& args, RecordBuffer& out) {
  if (piece.size() < kFormulaLengthWord || ValidateFormula(piece) != kNoError) return out.Append(piece);
  std::span<const uint8_t> formula;
  if (!FormulaOf(piece, formula)) return out.Append(piece);
  const RecordWalk walk(formula);
  size_t pos = 0;
  if (walk.ReencodedPart(pos) != kNoError) return out.Append(piece);  // no records: nothing to re-encode

  const size_t start = out.length();
  if (Status32 status = out.Append(formula.first(pos))) return status;
  while (!walk.AtEnd(pos)) {
    std::span<const uint8_t> record;
    if (Status32 status = walk.At(pos, record)) return status;
    std::unique_ptr<CFMMFormulaRecord> object;
    if (Status32 status = CreateFormulaRecord(record, object)) return status;
    if (Status32 status = object->EmitFormulaRecord(args, out)) return status;
    object.reset();
    if (Status32 status = out.PadEven(start)) return status;
    out.PutU16(start, static_cast<uint16_t>(out.length() - start));
    pos = walk.Next(pos, record);
  }
  return out.Append(piece.subspan(formula.size()));
}

}  // namespace quillet
