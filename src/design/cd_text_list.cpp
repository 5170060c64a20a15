// Text lists re-emitted entry by entry.
#include "design/cd_text_list.h"

#include "design/code_piece.h"
#include "design/design_messages.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr size_t kCountWord = 2;
constexpr size_t kLengthWord = 2;
constexpr size_t kMaxEntry = 0xFFFF;

// The bytes of the entries, or false when the list does not hold them.
bool EntriesFit(std::span<const uint8_t> list, size_t& header, size_t& entries) {
  if (list.size() < kCountWord) return false;
  const size_t count = LoadU16(list.data());
  header = kCountWord + count * kLengthWord;
  if (header > list.size()) return false;
  entries = 0;
  for (size_t i = 0; i < count; ++i) entries += LoadU16(list.data() + kCountWord + i * kLengthWord);
  return entries <= list.size() - header;
}

}  // namespace

Status32 EmitTextList(std::span<const uint8_t> list, const RewriteArgs& args, RecordBuffer& out, size_t& length) {
  const size_t start = out.length();
  size_t header = 0, entries = 0;
  if (!EntriesFit(list, header, entries)) {
    if (Status32 status = out.Append(list)) return status;
    length = list.size();
    return kNoError;
  }
  if (Status32 status = out.Append(list.first(header))) return status;
  size_t pos = header;
  for (size_t at = kCountWord; at < header; at += kLengthWord) {
    const size_t stored = LoadU16(list.data() + at);
    size_t emitted = 0;
    if (Status32 status = EmitCodePiece(PieceKind::Text, list.subspan(pos, stored), args, out, emitted)) {
      return status;
    }
    if (emitted > kMaxEntry) return kErrRecordExceeds64K;
    out.PutU16(start + at, static_cast<uint16_t>(emitted));
    pos += stored;
  }
  if (Status32 status = out.Append(list.subspan(pos))) return status;
  length = out.length() - start;
  return kNoError;
}

}  // namespace quillet
