// By-form actions and query terms, and the uses-form term.
#include "design/cd_form_terms.h"

#include "config/notes_api.h"
#include "design/cd_fixed.h"
#include "design/cd_text_list.h"
#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_types.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// By form (structures 338 and 373): 4 u32 flags, 8 u16 field count,
// 10 u16 form name length; then the field blocks, then the form name.
constexpr uint16_t kStructActionByForm = 338;
constexpr uint16_t kStructQueryByForm = 373;
constexpr size_t kFieldCountAt = 8;
constexpr size_t kFormNameLengthAt = 10;
// Field block (structure 339, no header): 0 u16 total length (block, name,
// value and the pad to even), 2 operator, 4 u16 name length, 6 u16 value
// length, 8 value type, 10 spare; then the name and the value, a text list
// behind its type word.
constexpr uint16_t kStructFieldBlock = 339;
constexpr size_t kBlockLengthAt = 0;
constexpr size_t kBlockLengthWord = 2;
constexpr size_t kBlockNameLengthAt = 4;
constexpr size_t kBlockValueLengthAt = 6;
constexpr size_t kTypeWord = 2;
// Uses form (structure 423): 4 u32 flags, then the text list of forms.
constexpr uint16_t kStructUsesForm = 423;
constexpr size_t kRecordLengthAt = 2;

constexpr int32_t kEntrySimpleAction = 72;
constexpr int32_t kEntryActionByForm = 76;
constexpr int32_t kEntryQuery = 87;
constexpr int32_t kEntryQueryByForm = 90;
constexpr int32_t kEntryQueryUsesForm = 89;
constexpr int32_t kCodeKindForms = 52;

// Appends a field's value: a text list behind its type word entry by entry,
// any other value as it is.
Status32 EmitValue(std::span<const uint8_t> value, const RewriteArgs& args, RecordBuffer& out, size_t& length) {
  if (value.size() < kTypeWord || LoadU16(value.data()) != kTypeTextList) {
    if (Status32 status = out.Append(value)) return status;
    length = value.size();
    return kNoError;
  }
  if (Status32 status = out.Append(value.first(kTypeWord))) return status;
  if (Status32 status = EmitTextList(value.subspan(kTypeWord), args, out, length)) return status;
  length += kTypeWord;
  return length > 0xFFFF ? kErrRecordExceeds64K : kNoError;
}

// Appends one field block. With the name and value lengths kept, the bytes
// after them come out as stored; otherwise the block is padded to even.
Status32 EmitFieldBlock(std::span<const uint8_t> bytes, const RewriteArgs& args, RecordBuffer& out) {
  CdFixedRecord block;
  if (Status32 status = block.Read(kStructFieldBlock, bytes)) return status;
  std::span<const uint8_t> name, value;
  if (!block.Piece(block.U16(kBlockNameLengthAt), name) || !block.Piece(block.U16(kBlockValueLengthAt), value)) {
    return kErrBadCompositeRecord;
  }
  const size_t start = out.length();
  if (Status32 status = block.Begin(out)) return status;
  size_t nameLength = 0, valueLength = 0;
  if (Status32 status = block.Emit(PieceKind::Text, name, args, out, nameLength)) return status;
  if (Status32 status = EmitValue(value, args, out, valueLength)) return status;
  block.SetU16(kBlockNameLengthAt, static_cast<uint16_t>(nameLength));
  block.SetU16(kBlockValueLengthAt, static_cast<uint16_t>(valueLength));
  const bool kept = nameLength == name.size() && valueLength == value.size();
  if (Status32 status = kept ? out.Append(block.Rest()) : out.PadEven(start)) return status;
  if (out.length() - start > 0xFFFF) return kErrRecordExceeds64K;
  return block.Finish(out, kBlockLengthAt);
}

}  // namespace

Status32 CKVXCDFieldsByForm::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(structure_, Data())) return status;
  const size_t count = fixed.U16(kFieldCountAt);
  if (args.location != nullptr) args.location->Replace(replaceKind_, "");
  const ScopedEntry entry(args.location, pushKind_);
  if (Status32 status = fixed.Begin(out)) return status;
  for (size_t i = 0; i < count; ++i) {
    const std::span<const uint8_t> rest = fixed.Rest();
    std::span<const uint8_t> block;
    if (rest.size() < kBlockLengthWord || !fixed.Piece(LoadU16(rest.data() + kBlockLengthAt), block)) {
      return kErrBadCompositeRecord;
    }
    if (Status32 status = EmitFieldBlock(block, args, out)) return status;
  }
  std::span<const uint8_t> form;
  if (!fixed.Piece(fixed.U16(kFormNameLengthAt), form)) return kErrBadCompositeRecord;
  if (Status32 status = fixed.EmitAt(kFormNameLengthAt, PieceKind::Text, form, args, out)) return status;
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

CKVXCDSimpleActionByForm::CKVXCDSimpleActionByForm(uint16_t signature, std::span<const uint8_t> record)
    : CKVXCDFieldsByForm(signature, record, kStructActionByForm, kEntrySimpleAction, kEntryActionByForm) {}

CKVXCDQueryByForm::CKVXCDQueryByForm(uint16_t signature, std::span<const uint8_t> record)
    : CKVXCDFieldsByForm(signature, record, kStructQueryByForm, kEntryQuery, kEntryQueryByForm) {}

Status32 CKVXCDQueryUsesForm::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructUsesForm, Data())) return status;
  if (args.location != nullptr) args.location->Replace(kEntryQuery, "");
  const ScopedEntry entry(args.location, kEntryQueryUsesForm);
  SetCodeKind(args.location, kCodeKindForms);
  if (Status32 status = fixed.Begin(out)) return status;
  size_t length = 0;
  if (Status32 status = EmitTextList(fixed.Rest(), args, out, length)) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace quillet
