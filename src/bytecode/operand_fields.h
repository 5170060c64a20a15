// Operand fields of the common layouts, each with its read and write side by side.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "bytecode/opcode_layout.h"
#include "util/bytes.h"

namespace quillet {

// A signed 16-bit operand; false (v unchanged) when the bytes run out.
[[nodiscard]] inline bool ReadS16(ByteReader& r, int16_t& v) {
  uint16_t raw = 0;
  if (!r.ReadU16(raw)) return false;
  v = static_cast<int16_t>(raw);
  return true;
}

// `n` bytes kept without interpretation; false (out unchanged) when they run out.
[[nodiscard]] inline bool ReadKept(ByteReader& r, uint8_t* out, size_t n) {
  std::span<const uint8_t> bytes;
  if (!r.ReadBytes(n, bytes)) return false;
  for (size_t i = 0; i < n; ++i) out[i] = bytes[i];
  return true;
}

// The operand fields of one layout. ReadFrom reads them from the bytes after the
// opcode and leaves the fields unchanged when the bytes run out; WriteTo writes
// the same bytes (OperandLength(layout) of them).
template <OperandLayout L>
struct OperandFields;

template <>
struct OperandFields<OperandLayout::kNone> {
  [[nodiscard]] bool ReadFrom(ByteReader&) { return true; }
  void WriteTo(uint8_t*) const {}
};

template <>
struct OperandFields<OperandLayout::kU16> {
  OperandFields() = default;
  explicit OperandFields(uint16_t operand_value) : operand(operand_value) {}
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return r.ReadU16(operand); }
  void WriteTo(uint8_t* p) const { StoreU16(p, operand); }

  uint16_t operand = 0;  // handle or count
};

template <>
struct OperandFields<OperandLayout::kS16> {
  OperandFields() = default;
  explicit OperandFields(int16_t v) : value(v) {}
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return ReadS16(r, value); }
  void WriteTo(uint8_t* p) const { StoreU16(p, static_cast<uint16_t>(value)); }

  int16_t value = 0;
};

template <>
struct OperandFields<OperandLayout::kRel16> {
  OperandFields() = default;
  explicit OperandFields(int16_t rel) : relTarget(rel) {}
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return ReadS16(r, relTarget); }
  void WriteTo(uint8_t* p) const { StoreU16(p, static_cast<uint16_t>(relTarget)); }

  int16_t relTarget = 0;  // counted from the end of the instruction
};

template <>
struct OperandFields<OperandLayout::kU8> {
  OperandFields() = default;
  explicit OperandFields(uint8_t sub) : subOperand(sub) {}
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return r.ReadU8(subOperand); }
  void WriteTo(uint8_t* p) const { p[0] = subOperand; }

  uint8_t subOperand = 0;
};

template <>
struct OperandFields<OperandLayout::kU8U16> {
  OperandFields() = default;
  OperandFields(uint8_t sub, uint16_t operand_value) : subOperand(sub), operand(operand_value) {}
  [[nodiscard]] bool ReadFrom(ByteReader& r) {
    if (r.remaining() < 3) return false;
    return r.ReadU8(subOperand) && r.ReadU16(operand);
  }
  void WriteTo(uint8_t* p) const {
    p[0] = subOperand;
    StoreU16(p + 1, operand);
  }

  uint8_t subOperand = 0;
  uint16_t operand = 0;
};

// Bytes kept but not interpreted.
template <size_t N>
struct SkippedBytes {
  SkippedBytes() = default;
  explicit SkippedBytes(const std::array<uint8_t, N>& bytes) : skipped(bytes) {}
  [[nodiscard]] bool ReadFrom(ByteReader& r) { return ReadKept(r, skipped.data(), N); }
  void WriteTo(uint8_t* p) const {
    for (size_t i = 0; i < N; ++i) p[i] = skipped[i];
  }

  std::array<uint8_t, N> skipped{};
};

template <>
struct OperandFields<OperandLayout::kSkip1> : SkippedBytes<1> {
  using SkippedBytes::SkippedBytes;
};
template <>
struct OperandFields<OperandLayout::kSkip2> : SkippedBytes<2> {
  using SkippedBytes::SkippedBytes;
};
template <>
struct OperandFields<OperandLayout::kSkip4> : SkippedBytes<4> {
  using SkippedBytes::SkippedBytes;
};

}  // namespace quillet
