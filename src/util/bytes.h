// Little-endian byte helpers: the one place where foreign bytes become numbers.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
// On a little-endian host the bytes are the value's own, copied at once: the
// optimiser turns a loop of byte stores (the report's line entries) into
// vector shuffles that cost more than the data's trip through memory.
inline void StoreU32(uint8_t* p, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}
// UTF-16 code units as little-endian bytes: 2 bytes a unit.
inline void StoreUtf16Le(uint8_t* p, std::u16string_view units) {
  for (size_t i = 0; i < units.size(); ++i) StoreU16(p + 2 * i, units[i]);
}
inline std::vector<uint8_t> Utf16LeBytes(std::u16string_view units) {
  std::vector<uint8_t> bytes(units.size() * 2);
  StoreUtf16Le(bytes.data(), units);
  return bytes;
}
// `count` code units read from `p`.
inline std::u16string LoadUtf16Le(const uint8_t* p, size_t count) {
  std::u16string units(count, u'\0');
  for (size_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(LoadU16(p + 2 * i));
  return units;
}
inline void StoreU64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    StoreU32(p, static_cast<uint32_t>(v));
    StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
  }
}

// A bounded reader over foreign bytes. Reads past the end fail (return false)
// and leave the position unchanged; every check is written `n <= size - pos`
// so it cannot overflow.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  size_t pos() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }
  std::span<const uint8_t> data() const { return data_; }

  // REQUIRES nothing; false when `offset` lies beyond the end.
  [[nodiscard]] bool Seek(size_t offset) {
    if (offset > data_.size()) return false;
    pos_ = offset;
    return true;
  }
  [[nodiscard]] bool Skip(size_t n) {
    if (n > remaining()) return false;
    pos_ += n;
    return true;
  }
  [[nodiscard]] bool ReadU8(uint8_t& v) {
    if (remaining() < 1) return false;
    v = data_[pos_++];
    return true;
  }
  [[nodiscard]] bool ReadU16(uint16_t& v) {
    if (remaining() < 2) return false;
    v = LoadU16(data_.data() + pos_);
    pos_ += 2;
    return true;
  }
  [[nodiscard]] bool ReadU32(uint32_t& v) {
    if (remaining() < 4) return false;
    v = LoadU32(data_.data() + pos_);
    pos_ += 4;
    return true;
  }
  [[nodiscard]] bool ReadU64(uint64_t& v) {
    if (remaining() < 8) return false;
    v = LoadU64(data_.data() + pos_);
    pos_ += 8;
    return true;
  }
  [[nodiscard]] bool ReadBytes(size_t n, std::span<const uint8_t>& out) {
    if (n > remaining()) return false;
    out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  // A reader over the next `n` bytes; this reader moves past them.
  [[nodiscard]] bool Sub(size_t n, ByteReader& out) {
    std::span<const uint8_t> bytes;
    if (!ReadBytes(n, bytes)) return false;
    out = ByteReader(bytes);
    return true;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

// An appending little-endian writer with reserve-then-patch support.
class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(std::vector<uint8_t>& out) : external_(&out) {}

  std::vector<uint8_t>& bytes() { return external_ ? *external_ : own_; }
  const std::vector<uint8_t>& bytes() const { return external_ ? *external_ : own_; }
  size_t size() const { return bytes().size(); }

  void PutU8(uint8_t v) { bytes().push_back(v); }
  void PutU16(uint16_t v) {
    uint8_t b[2];
    StoreU16(b, v);
    bytes().insert(bytes().end(), b, b + 2);
  }
  void PutU32(uint32_t v) {
    uint8_t b[4];
    StoreU32(b, v);
    bytes().insert(bytes().end(), b, b + 4);
  }
  void PutU64(uint64_t v) {
    uint8_t b[8];
    StoreU64(b, v);
    bytes().insert(bytes().end(), b, b + 8);
  }
  void PutBytes(std::span<const uint8_t> b) { bytes().insert(bytes().end(), b.begin(), b.end()); }
  void PutZeros(size_t n) { bytes().insert(bytes().end(), n, 0); }

  // Reserves a placeholder and returns its offset for a later Patch.
  size_t ReserveU16() { size_t at = size(); PutU16(0); return at; }
  size_t ReserveU32() { size_t at = size(); PutU32(0); return at; }
  // REQUIRES: the patched bytes were written before.
  void PatchU16(size_t at, uint16_t v) { StoreU16(bytes().data() + at, v); }
  void PatchU32(size_t at, uint32_t v) { StoreU32(bytes().data() + at, v); }

 private:
  std::vector<uint8_t> own_;
  std::vector<uint8_t>* external_ = nullptr;
};

}  // namespace quillet
