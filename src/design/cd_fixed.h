// What the records with a fixed part and variable pieces share: the fixed
// part read in host form, a bounded walk over the pieces that follow it, and
// the rebuilt record whose lengths are patched at the end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "config/status.h"
#include "design/code_piece.h"
#include "design/record_buffer.h"

namespace quillet {

class CdFixedRecord {
 public:
  // Reads the fixed part of structure `code` from the start of `record`;
  // kErrBadCompositeRecord when the record is shorter than it.
  [[nodiscard]] Status32 Read(uint16_t code, std::span<const uint8_t> record);

  uint16_t U16(size_t at) const;
  uint32_t U32(size_t at) const;
  void SetU16(size_t at, uint16_t value);
  void SetU32(size_t at, uint32_t value);

  // The next `length` bytes of the variable part; false when they run past
  // the record.
  [[nodiscard]] bool Piece(size_t length, std::span<const uint8_t>& piece);
  std::span<const uint8_t> Rest() const { return record_.subspan(pos_); }

  // Starts the rebuilt record in `out` with the fixed part as read.
  [[nodiscard]] Status32 Begin(RecordBuffer& out);
  // Emits a piece through the code-piece rule; `length` receives its new length.
  [[nodiscard]] Status32 Emit(PieceKind kind, std::span<const uint8_t> piece, const RewriteArgs& args,
                              RecordBuffer& out, size_t& length);
  // The same, with the new length stored as the 16-bit field at `lengthAt`.
  [[nodiscard]] Status32 EmitAt(size_t lengthAt, PieceKind kind, std::span<const uint8_t> piece,
                                const RewriteArgs& args, RecordBuffer& out);
  // Writes the fixed part again at the start of the rebuilt record, with
  // the 16-bit record length at `lengthAt` set to the bytes written.
  [[nodiscard]] Status32 Finish(RecordBuffer& out, size_t lengthAt);
  // Writes the fixed part again where Begin put it, for a block without a
  // length of its own.
  [[nodiscard]] Status32 Rewrite(RecordBuffer& out) const;
  // The same for a record whose length is a 32-bit field.
  [[nodiscard]] Status32 FinishLong(RecordBuffer& out, size_t lengthAt);
  // Copies `bytes` into `out` with the piece's own length in `length`.
  [[nodiscard]] static Status32 Copy(std::span<const uint8_t> bytes, RecordBuffer& out, size_t& length);

 private:
  // The host form of the largest fixed part a record has (270 bytes), kept
  // in place: records are emitted by the thousand and should not allocate.
  static constexpr size_t kMaxHostSize = 320;
  std::span<uint8_t> Host() { return {host_.data(), hostSize_}; }
  std::span<const uint8_t> Host() const { return {host_.data(), hostSize_}; }

  uint16_t code_ = 0;
  std::span<const uint8_t> record_;
  std::array<uint8_t, kMaxHostSize> host_;
  size_t hostSize_ = 0;
  size_t pos_ = 0;    // into the record
  size_t start_ = 0;  // of the rebuilt record in `out`
};

}  // namespace quillet
