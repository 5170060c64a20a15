// Send-mail and newsletter simple actions, field by field.
#include "design/cd_mail_action.h"

#include <array>

#include "design/cd_fixed.h"
#include "design/code_location.h"
#include "design/design_messages.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Send mail (structure 335): 4 u32 flags, 8 five u16 field lengths.
// Newsletter (structure 362): 4 u32 flags, 8 u32 gather count, 12 u16 view
// name length, 14 spare, 16 five u16 field lengths.
constexpr uint16_t kStructSendMail = 335;
constexpr uint16_t kStructNewsLetter = 362;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kFlagsAt = 4;
constexpr size_t kSendMailFieldsAt = 8;
constexpr size_t kNewsLetterViewAt = 12;
constexpr size_t kNewsLetterFieldsAt = 16;
constexpr size_t kFieldCount = 5;  // To, cc, bcc, subject, body
// The flag that makes To, cc, bcc and subject a formula; the body is text.
constexpr std::array<uint32_t, kFieldCount> kFormulaFlags = {0x08, 0x10, 0x20, 0x40, 0};

constexpr int32_t kEntrySimpleAction = 72;
constexpr int32_t kEntrySendMail = 80;
constexpr int32_t kEntryNewsLetter = 82;

enum class Ending { Terminated, Packed };

// A field as its content and the stored ending after it: a text without
// its trailing NULs, a formula up to the total length its first word gives.
void SplitField(std::span<const uint8_t> field, bool formula, std::span<const uint8_t>& content,
                std::span<const uint8_t>& ending) {
  size_t size = field.size();
  if (formula) {
    const size_t total = field.size() >= 2 ? LoadU16(field.data()) : 0;
    if (total >= 2 && total <= field.size()) size = total;
  } else {
    while (size > 0 && field[size - 1] == 0) --size;
  }
  content = field.first(size);
  ending = field.subspan(size);
}

// Appends one field: its content through the code-piece rule; when its
// length is kept the stored ending follows unchanged, else a terminated text
// gets its NUL, and the field is padded to even unless it is packed text
// that had no ending (formulas are always kept even).
Status32 EmitField(std::span<const uint8_t> field, bool formula, Ending ending, const RewriteArgs& args,
                   RecordBuffer& out, size_t& length) {
  const size_t start = out.length();
  std::span<const uint8_t> content, stored;
  SplitField(field, formula, content, stored);
  size_t emitted = 0;
  const PieceKind kind = formula ? PieceKind::Formula : PieceKind::Text;
  if (Status32 status = EmitCodePiece(kind, content, args, out, emitted)) return status;
  Status32 status = kNoError;
  if (emitted == content.size()) {
    status = out.Append(stored);
  } else {
    const bool terminated = ending == Ending::Terminated && !formula;
    if (terminated) status = out.AppendZeros(1);
    if (status == kNoError && (terminated || formula || !stored.empty())) status = out.PadEven(start);
  }
  if (status != kNoError) return status;
  length = out.length() - start;
  return length > 0xFFFF ? kErrRecordExceeds64K : kNoError;
}

// The five fields whose lengths start at `fieldsAt`, in stored order.
Status32 EmitFields(CdFixedRecord& fixed, size_t fieldsAt, Ending ending,
                    const std::array<std::span<const uint8_t>, kFieldCount>& fields, const RewriteArgs& args,
                    RecordBuffer& out) {
  const uint32_t flags = fixed.U32(kFlagsAt);
  for (size_t i = 0; i < kFieldCount; ++i) {
    size_t length = 0;
    const bool formula = (flags & kFormulaFlags[i]) != 0;
    if (Status32 status = EmitField(fields[i], formula, ending, args, out, length)) return status;
    fixed.SetU16(fieldsAt + 2 * i, static_cast<uint16_t>(length));
  }
  return kNoError;
}

bool ReadFields(CdFixedRecord& fixed, size_t fieldsAt, std::array<std::span<const uint8_t>, kFieldCount>& fields) {
  for (size_t i = 0; i < kFieldCount; ++i) {
    if (!fixed.Piece(fixed.U16(fieldsAt + 2 * i), fields[i])) return false;
  }
  return true;
}

}  // namespace

Status32 CKVXCDSimpleActionSendMail::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructSendMail, Data())) return status;
  std::array<std::span<const uint8_t>, kFieldCount> fields;
  if (!ReadFields(fixed, kSendMailFieldsAt, fields)) return kErrBadCompositeRecord;
  if (args.location != nullptr) args.location->Replace(kEntrySimpleAction, "");
  const ScopedEntry entry(args.location, kEntrySendMail);
  if (Status32 status = fixed.Begin(out)) return status;
  if (Status32 status = EmitFields(fixed, kSendMailFieldsAt, Ending::Terminated, fields, args, out)) return status;
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

Status32 CKVXCDSimpleActionNewsLetter::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructNewsLetter, Data())) return status;
  std::span<const uint8_t> view;
  std::array<std::span<const uint8_t>, kFieldCount> fields;
  if (!fixed.Piece(fixed.U16(kNewsLetterViewAt), view) || !ReadFields(fixed, kNewsLetterFieldsAt, fields)) {
    return kErrBadCompositeRecord;
  }
  if (args.location != nullptr) args.location->Replace(kEntrySimpleAction, "");
  const ScopedEntry entry(args.location, kEntryNewsLetter);
  if (Status32 status = fixed.Begin(out)) return status;
  if (Status32 status = fixed.EmitAt(kNewsLetterViewAt, PieceKind::Text, view, args, out)) return status;
  if (Status32 status = EmitFields(fixed, kNewsLetterFieldsAt, Ending::Packed, fields, args, out)) return status;
  if (Status32 status = out.Append(fixed.Rest())) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace quillet
