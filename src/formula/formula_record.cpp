// Validation and re-emission of each formula record type, and the factory.
#include "formula/formula_record.h"

#include <new>

#include "formula/formula_status.h"
#include "formula/operation_stream.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// The parts of a named or remark record: the text (or name) after the 6-byte
// header, and what follows it once padded to even. False when the text runs
// past the record.
bool SplitNamed(std::span<const uint8_t> record, bool padText, std::span<const uint8_t>& text,
                std::span<const uint8_t>& rest) {
  if (record.size() < kFormulaNamedHeader) return false;
  const size_t length = LoadU16(record.data() + kFormulaRecordHeader);
  const size_t padded = padText ? length + length % 2 : length;
  if (padded > record.size() - kFormulaNamedHeader) return false;
  text = record.subspan(kFormulaNamedHeader, length);
  rest = record.subspan(kFormulaNamedHeader + padded);
  return true;
}

}  // namespace

Status32 CFMMFormulaRecord::EmitFormulaRecord(const RewriteArgs& /*args*/, RecordBuffer& out) const {
  return out.Append(record_);
}

// --- Remarks ------------------------------------------------------------------

Status32 CFMMRemRecord::ValidateFormulaRecord() const {
  std::span<const uint8_t> text, rest;
  return SplitNamed(record_, false, text, rest) ? kNoError : kErrBadFormula;
}

Status32 CFMMRemRecord::EmitFormulaRecord(const RewriteArgs& args, RecordBuffer& out) const {
  std::span<const uint8_t> text, rest;
  if (!SplitNamed(record_, false, text, rest)) return kErrBadFormula;
  if (!text.empty() && text[0] == '\t') return out.Append(record_);
  const size_t start = out.length();
  if (Status32 status = out.Append(record_.first(kFormulaNamedHeader))) return status;
  size_t length = 0;
  if (Status32 status = EmitPiece(PieceKind::Text, text, args, out, length)) return status;
  // The record length counts the pad byte the formula adds after an odd text.
  const size_t recordLength = kFormulaNamedHeader + length + length % 2;
  if (recordLength > 0xFFFF) return kErrBadFormula;
  out.PutU16(start + kFormulaRecordHeader, static_cast<uint16_t>(length));
  out.PutU16(start + 2, static_cast<uint16_t>(recordLength));
  return kNoError;
}

// --- Expressions ----------------------------------------------------------------

Status32 CFMMExpressionRecord::ValidateFormulaRecord() const {
  return ValidateOperationStream(record_.subspan(kFormulaRecordHeader));
}

Status32 CFMMExpressionRecord::EmitFormulaRecord(const RewriteArgs& args, RecordBuffer& out) const {
  const size_t start = out.length();
  if (Status32 status = out.Append(record_.first(kFormulaRecordHeader))) return status;
  if (Status32 status = ReencodeOperationStream(record_.subspan(kFormulaRecordHeader), args, out)) return status;
  out.PutU16(start + 2, static_cast<uint16_t>(out.length() - start));
  return kNoError;
}

// --- Named expressions -------------------------------------------------------------

Status32 CFMMNamedExpressionRecord::ValidateFormulaRecord() const {
  std::span<const uint8_t> name, stream;
  if (!SplitNamed(record_, true, name, stream)) return kErrBadFormula;
  return ValidateOperationStream(stream);
}

Status32 CFMMNamedExpressionRecord::EmitFormulaRecord(const RewriteArgs& args, RecordBuffer& out) const {
  std::span<const uint8_t> name, stream;
  if (!SplitNamed(record_, true, name, stream)) return kErrBadFormula;
  const size_t start = out.length();
  if (Status32 status = out.Append(record_.first(kFormulaNamedHeader))) return status;
  if (Status32 status = out.Append(name)) return status;  // no rewrite flag selects names
  if (Status32 status = out.PadEven(start)) return status;
  out.PutU16(start + kFormulaRecordHeader, static_cast<uint16_t>(name.size()));
  if (Status32 status = ReencodeOperationStream(stream, args, out)) return status;
  out.PutU16(start + 2, static_cast<uint16_t>(out.length() - start));
  return kNoError;
}

// --- Factory -------------------------------------------------------------------------

Status32 CreateFormulaRecord(std::span<const uint8_t> record, std::unique_ptr<CFMMFormulaRecord>& out) {
  CFMMFormulaRecord* made = nullptr;
  switch (LoadU16(record.data())) {
    case kFormulaMain: made = new (std::nothrow) CFMMMainRecord(record); break;
    case kFormulaTempField: made = new (std::nothrow) CFMMTempFieldRecord(record); break;
    case kFormulaColumn: made = new (std::nothrow) CFMMColumnFormulaRecord(record); break;
    case kFormulaField: made = new (std::nothrow) CFMMFieldRecord(record); break;
    case kFormulaEnvironment: made = new (std::nothrow) CFMMEnvironmentRecord(record); break;
    case kFormulaRemark: made = new (std::nothrow) CFMMRemRecord(record); break;
    case kFormulaExpression: made = new (std::nothrow) CFMMExpressionRecord(record); break;
    default: made = new (std::nothrow) CFMMFormulaRecord(record); break;
  }
  out.reset(made);
  return made != nullptr ? kNoError : kErrOutOfMemory;
}

}  // namespace quillet
