// Code read as one block though it lies in two: the few bytes about to go in
// front of a procedure, then the procedure's bytes where they stand in the
// byte code. A procedure's listing reads it instead of copying the procedure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "util/bytes.h"

namespace quillet {

// Offsets 0 .. head.size() - 1 are in `head`, the rest in `tail`. Views only:
// valid while both blocks stand unchanged.
class JoinedCode {
 public:
  JoinedCode() = default;
  // One block alone.
  JoinedCode(std::span<const uint8_t> whole) : tail_(whole) {}  // NOLINT: a block is joined code
  JoinedCode(std::span<const uint8_t> head, std::span<const uint8_t> tail) : head_(head), tail_(tail) {}

  size_t size() const { return head_.size() + tail_.size(); }
  std::span<const uint8_t> head() const { return head_; }
  std::span<const uint8_t> tail() const { return tail_; }

  // The byte at `at`. REQUIRES: at < size().
  uint8_t operator[](size_t at) const { return at < head_.size() ? head_[at] : tail_[at - head_.size()]; }
  // The little-endian u16 at `at`, its bytes in either block.
  // REQUIRES: at + 2 <= size().
  uint16_t U16At(size_t at) const {
    if (at >= head_.size()) return LoadU16(tail_.data() + (at - head_.size()));
    if (at + 2 <= head_.size()) return LoadU16(head_.data() + at);
    const uint8_t bytes[2] = {head_[at], tail_[0]};  // one byte in each block
    return LoadU16(bytes);
  }
  // The bytes from `at` to the end of the block holding it: what may be read
  // in one piece from there. Empty at or past the end.
  std::span<const uint8_t> From(size_t at) const {
    if (at < head_.size()) return head_.subspan(at);
    if (at - head_.size() < tail_.size()) return tail_.subspan(at - head_.size());
    return {};
  }

 private:
  std::span<const uint8_t> head_;
  std::span<const uint8_t> tail_;
};

}  // namespace quillet
