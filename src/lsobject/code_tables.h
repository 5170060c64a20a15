// The byte code (type 4) and the tables that go with it: label offsets
// (type 15), jump table (type 16) and function line numbers (type 17).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>

#include "lsobject/table_extention.h"

namespace quillet {

// One undivided run of byte code; placement offsets are plain byte offsets.
// A procedure's code starts at its entry's code offset and ends with OpEndSub.
class CByteCode : public CMultiSection {
 public:
  uint8_t Type() const override { return record::kByteCode; }
};

// u32 byte-code offsets that label handles resolve through (Resolve: index ->
// offset when the table holds the index, else the handle itself). Its entry
// count goes to header offset 388.
class CLabelOffsetTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kLabelOffsetTable; }
};

// 8-byte entries carried unchanged; their count (length / 8) goes to header
// offset 392.
class CJumpTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kJumpTable; }
};

// Line bases of module-level procedures, keyed by the procedure's name handle.
//
//   | off    | width | meaning                           |
//   |      0 | 4     | carried, part of no pair          |
//   | 4 + 4k | u16   | key: procedure name handle        |
//   | 6 + 4k | u16   | line the procedure's lines count from |
//
// A trailing partial pair is ignored; when a key repeats, the later pair wins.
class CFunctionLineNumbers : public CMultiSection {
 public:
  static constexpr int32_t kNoLine = -1;

  uint8_t Type() const override { return record::kFunctionLineNumbers; }

  // The line value stored for exactly `key`, or -1 when the section is empty
  // or holds no pair for it. The key map is built from the data on first use
  // and dropped whenever a record is read or the data cleared; the system
  // carries this table unchanged otherwise, so no other edit can stale it.
  int32_t LookupLine(uint16_t key) const;

  [[nodiscard]] bool ReadRecord(std::span<const uint8_t> image, size_t position, ParseError& error) override;
  void Clear() override;

  // Whether the key map has been built (it is never built for empty data).
  bool MapBuilt() const { return lines_.has_value(); }

 private:
  mutable std::optional<std::unordered_map<uint16_t, int32_t>> lines_;
};

}  // namespace quillet
