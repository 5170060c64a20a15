// The module header (record type 1): the module's table of contents.
//
// Fields this system reads or writes (offsets into the header data; every
// other byte is carried unchanged):
//   | off | width  | meaning                                                  |
//   |   0 | 4      | never "BOSL" (such modules are refused)                   |
//   |   4 | u16    | format level; low byte > 3: segment-size records written |
//   |   6 | u16    | flags; 0x0400 goes with format level 4                    |
//   |  14 | u16    | count of module-level declarations and library names     |
//   |  16 | u16    | byte-code length, low 16 bits                             |
//   |  18 | u16    | value of a synthesised type-11 record                     |
//   |  22 | u16    | symbol-table length, low 16 bits                          |
//   |  24 | u16    | string-table length, low 16 bits                          |
//   |  26 | u16    | handle of the Initialize sub                              |
//   |  28 | u16    | handle of the Terminate sub                               |
//   |  40 | 7×u16  | heads of the string hash chains (0xFFFF = empty)          |
//   |  60 | 4×60   | module scopes 1..4                                        |
//   | 344 | u32    | byte-code length          (header longer than 511)        |
//   | 352 | u32    | symbol-table length       (header longer than 511)        |
//   | 356 | u32    | string-table length       (header longer than 511)        |
//   | 364 | u32    | extended string entries   (header longer than 511)        |
//   | 368 | u32    | string-table segments     (header longer than 511)        |
//   | 380 | u32    | extended symbol entries   (header longer than 511)        |
//   | 384 | u32    | symbol-table segments     (header longer than 511)        |
//   | 388 | u32    | label-offset entries      (header longer than 300)        |
//   | 392 | u32    | jump-table entries        (header longer than 300)        |
#pragma once

#include "lsobject/section.h"

namespace quillet {

namespace header {
inline constexpr size_t kMinLength = 300;        // shorter headers are refused
inline constexpr size_t kChecksummedLength = 300;  // bytes folded into the checksum
inline constexpr size_t kWideBlockMinLength = 512;  // 32-bit size block written from here
inline constexpr size_t kFormatLevel = 4;
inline constexpr size_t kFlags = 6;
inline constexpr size_t kDeclarationCount = 14;
inline constexpr size_t kByteCodeLength16 = 16;
inline constexpr size_t kType11Value = 18;
inline constexpr size_t kSymbolLength16 = 22;
inline constexpr size_t kStringLength16 = 24;
inline constexpr size_t kInitializeSub = 26;
inline constexpr size_t kTerminateSub = 28;
inline constexpr size_t kStringChainHeads = 40;
inline constexpr size_t kScope1 = 60;
inline constexpr size_t kScope2 = 120;
inline constexpr size_t kScope3 = 180;
inline constexpr size_t kScope4 = 240;
inline constexpr size_t kByteCodeLength32 = 344;
inline constexpr size_t kSymbolLength32 = 352;
inline constexpr size_t kStringLength32 = 356;
inline constexpr size_t kExtendedStringCount = 364;
inline constexpr size_t kStringSegmentCount = 368;
inline constexpr size_t kExtendedSymbolCount = 380;
inline constexpr size_t kSymbolSegmentCount = 384;
inline constexpr size_t kLabelOffsetCount = 388;
inline constexpr size_t kJumpCount = 392;

inline constexpr uint16_t kExtendedFormatLevel = 4;
inline constexpr uint16_t kExtendedFormatFlag = 0x0400;
inline constexpr uint8_t kSegmentRecordsAbove = 3;  // format level byte above this
inline constexpr uint32_t kExtendedByteCodeLength = 0xFC00;  // byte code this long needs level 4
}  // namespace header

class CHeader : public CSingleSection {
 public:
  uint8_t Type() const override { return record::kHeader; }
  // Folds the first 300 header bytes; the fields beyond them stay outside.
  uint32_t UpdateChecksum(uint32_t crc) const override;

  // Field access for offsets inside the header; REQUIRES offset + width <= Length().
  uint16_t U16(size_t offset) const { return LoadU16(data_.data() + offset); }
  uint32_t U32(size_t offset) const { return LoadU32(data_.data() + offset); }
  void SetU16(size_t offset, uint16_t v) { StoreU16(data_.data() + offset, v); }
  void SetU32(size_t offset, uint32_t v) { StoreU32(data_.data() + offset, v); }
  // True when a field of `width` bytes at `offset` lies inside the header.
  bool Holds(size_t offset, size_t width) const { return width <= data_.size() && offset <= data_.size() - width; }

  // Low byte of the format level above 3: segment-size records are written.
  bool WritesSegmentRecords() const;
};

}  // namespace quillet
