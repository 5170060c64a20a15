// Sections stored in several records and divided into 64 KiB segments.
//
// Chunk record:                         Segment-size record (types 8, 13):
//   | off | width | meaning          |    | off | width | meaning            |
//   |   0 | u16   | record type      |    |   0 | u16   | 8 or 13            |
//   |   2 | u16   | L = 4 + n        |    |   2 | u16   | L = 4 + 4 × count  |
//   |   4 | u32   | placement offset |    |   4 | u32   | 0                  |
//   |   8 | n     | data bytes       |    |   8 | u32[] | segment sizes      |
//
// Data is addressed through 16-bit handles, so segment k starts at data
// position k × 0x10000 and a placement offset's high word is its segment.
// The bytes between a segment's end and the next boundary belong to no
// segment and are never written. The byte code is never divided: it has one
// segment and its offsets run straight through 64 KiB boundaries.
#pragma once

#include <span>
#include <vector>

#include "bytecode/opcode.h"
#include "lsobject/section.h"

namespace quillet {

namespace multi {
inline constexpr size_t kRecordHeaderSize = 8;
inline constexpr int32_t kMaxChunk = 4088;        // a chunk record is at most 4096 bytes
inline constexpr uint32_t kSegmentSpan = 0x10000;
inline constexpr int32_t kSegmentLimit = 0xFFF9;  // growth reaching this starts a new segment
}  // namespace multi

class CMultiSection : public CSection {
 public:
  uint8_t RecordHeaderSize() const override { return multi::kRecordHeaderSize; }
  // Accepts the chunks a well-formed image holds: the first at offset 0, each
  // further one either continuing the data without gap or overlap inside the
  // current segment, or starting the next segment at its 64 KiB boundary.
  // Anything else (out of order, overlapping, skipping a segment, overflowing
  // a segment) is refused, so a hostile image cannot make us allocate more
  // than a small multiple of its own size.
  [[nodiscard]] bool ReadRecord(std::span<const uint8_t> image, size_t position, ParseError& error) override;
  // Chunks of at most 4088 bytes, segment by segment.
  int32_t Write(ByteWriter& out) const override;
  virtual int32_t TotalSize() const;
  // The segments Write writes: a segment past the data (an empty record read
  // at the start of an empty table) is not written, so it is not counted.
  virtual int32_t SegmentCount() const;
  // Folds every segment's bytes into `crc`.
  virtual uint32_t UpdateChecksum(uint32_t crc) const { return ChecksumSegments(crc, 0); }

  void Clear() override;

  const std::vector<int32_t>& SegmentSizes() const { return segmentSizes_; }
  bool IsSegmented() const { return Type() != record::kByteCode; }

  // Installs a changed copy of the data, taken to be growth at the end by
  // g = new length - old length. Growth that would bring the last segment to
  // 0xFFF9 bytes starts a new segment at the next 64 KiB boundary (never in
  // the byte code). Returns false, changing nothing, when the data would
  // shrink by more than its last segment holds.
  [[nodiscard]] bool SetData(std::span<const uint8_t> bytes);
  // The same, taking over `bytes` rather than copying them when no new
  // segment starts (always so for the byte code).
  [[nodiscard]] bool SetData(std::vector<uint8_t>&& bytes);
  // SetData of the current data followed by `bytes`, without copying the
  // data already there; what editors that only append use.
  void AppendData(std::span<const uint8_t> bytes);

  // Inserts `bytes` before data position `position` (-1: at the end) and
  // installs the result with SetData. Returns the bytes inserted, or -1,
  // changing nothing, when the position lies outside the data.
  [[nodiscard]] int32_t InsertBytes(int32_t position, std::span<const uint8_t> bytes);
  // InsertBytes of the encoded `instructions`; used on the byte code.
  [[nodiscard]] int32_t InsertCode(int32_t position, const InstructionList& instructions);

  // Writes the segment-size record of this section under `type`; a section
  // without segments writes one entry, its length. Returns the bytes written.
  int32_t WriteSegmentList(uint16_t type, ByteWriter& out) const;

 protected:
  // Folds the segments' bytes, leaving out the first `skip` bytes of segment 0.
  uint32_t ChecksumSegments(uint32_t crc, size_t skip) const;

 private:
  // Whether growing the data by `growth` bytes starts a new segment.
  bool StartsSegment(int64_t growth) const;
  // Counts `growth` bytes (negative: fewer) in the last segment.
  void GrowLastSegment(int64_t growth);
  // Calls `visit(start, size)` for each segment, clamped to the data.
  template <typename Visit>
  void ForEachSegment(Visit visit) const;

  std::vector<int32_t> segmentSizes_;
};

}  // namespace quillet
