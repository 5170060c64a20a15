// The bounded byte buffer every rich-text and formula rewrite appends to. It
// holds one item segment or one emitted record; a failed operation leaves
// it as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "config/status.h"

namespace quillet {

class RecordBuffer {
 public:
  // The segment preset: the most an item segment may hold. Such a buffer is
  // allocated at once and never grows.
  static constexpr uint16_t kSegmentSize = 65404;

  RecordBuffer() : RecordBuffer(kSegmentSize, 0, kSegmentSize) {}
  // `initial` bytes allocated; grows in steps of `growthStep` (0: never) up
  // to `maximum`.
  RecordBuffer(uint16_t initial, uint16_t growthStep, uint16_t maximum);
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;

  size_t length() const { return length_; }
  size_t capacity() const { return capacity_; }
  std::span<const uint8_t> bytes() const { return {data_.get(), length_}; }

  // Makes the capacity at least `n`: kErrOutOfMemory when the growth step is
  // 0 and `n` is above the capacity, or when `n` is above the maximum.
  [[nodiscard]] Status32 Reserve(size_t n);
  [[nodiscard]] Status32 Append(std::span<const uint8_t> bytes);
  [[nodiscard]] Status32 AppendZeros(size_t n);
  // Appends a fixed structure of `code`, given in host form, in its on-disk
  // form.
  [[nodiscard]] Status32 AppendStruct(uint16_t code, std::span<const uint8_t> structure);
  // Writes a fixed structure in on-disk form at `position`, an earlier place
  // of the buffer (a header rewritten once its lengths are known).
  // REQUIRES: position <= length().
  [[nodiscard]] Status32 PutStruct(size_t position, uint16_t code, std::span<const uint8_t> structure);
  // Appends zero bytes until length() - start is even.
  [[nodiscard]] Status32 PadEven(size_t start);

  // Patches a little-endian word already written. Ignored (and a fault in
  // the caller) when it does not lie inside the written bytes.
  void PutU16(size_t at, uint16_t value);
  void PutU32(size_t at, uint32_t value);
  // Forgets everything after `n` bytes; nothing when `n` >= length().
  void Truncate(size_t n);
  void Clear() { length_ = 0; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  uint16_t capacity_ = 0;
  uint16_t length_ = 0;
  uint16_t growthStep_ = 0;
  uint16_t maximum_ = 0;
};

}  // namespace quillet
