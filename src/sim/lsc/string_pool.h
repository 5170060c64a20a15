// The string table a compiled module carries: counted, terminated UTF-16
// entries on 4-byte boundaries, chained into seven hash buckets.
//
// Entry at position p (the string's handle is p + 4):
// | offset  | width | meaning                                              |
// |---------|-------|------------------------------------------------------|
// | 0       | u16   | link: next handle in the bucket - 4; 0xFFFF ends it  |
// | 2       | u16   | n, number of UTF-16 code units                       |
// | 4       | 2n    | the text, UTF-16 little-endian                       |
// | 4 + 2n  | u16   | 0 terminator, then one more 0 up to a multiple of 4  |
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lsobject/name_hash.h"
#include "lsobject/string_chains.h"

namespace quillet::lsc {

// UTF-16 code units of UTF-8 text; a byte that does not start a valid
// sequence stands for the character of the same value.
std::u16string Utf8ToUtf16(const std::string& text);

// The module's name hash (lsobject/name_hash.h).
using quillet::NameHash;

class StringPool {
 public:
  static constexpr size_t kMaxBytes = 0xFFF8;  // handles are plain offsets

  // The handle of `text` (exact match), appending it when new.
  uint16_t FindOrAdd(const std::string& text);

  // Links the seven bucket chains (bucket = NameHash % 7) and returns their
  // heads, 0xFFFF for an empty bucket. Call once, after the last FindOrAdd.
  std::vector<uint16_t> LinkChains();

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  bool overflowed() const { return bytes_.size() > kMaxBytes; }

 private:
  std::vector<uint8_t> bytes_;
  std::map<std::string, uint16_t> handles_;
  std::vector<strings::ChainEntry> entries_;  // in table order
};

}  // namespace quillet::lsc
