// The allocator behind a call tree: records and line tables carved from chunks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "timing/call_record.h"

namespace quillet {

// Owns every CallRecord and line table of one profile data. Both are carved
// from chunks of whole pages by bumping a pointer (no heap call per record);
// the whole tree is released at once by Clear or destruction, so tearing
// down a deep tree never recurses.
//
// The first 2 MiB come in small chunks, so a small profile holds little.
// Past them every chunk is made of large pages where the system offers them:
// the first write to a fresh record then rarely faults (one fault per 2 MiB
// instead of one per 4 KiB, about 85 records).
//
// An open call's line table grows by doubling from one entry; outgrown
// blocks go to a free list per capacity and serve the next table that grows.
// When the call exits, FitLines moves a table with spare room to a block of
// its exact size, so a finished call keeps 16 bytes per distinct line.
class RecordPool {
 public:
  RecordPool() = default;
  ~RecordPool();
  RecordPool(const RecordPool&) = delete;
  RecordPool& operator=(const RecordPool&) = delete;

  // A fresh record with every field at its initial value.
  CallRecord* NewRecord() {
    void* block = Allocate(sizeof(CallRecord));  // counted once it did not throw
    inUse_ += sizeof(CallRecord);
    return new (block) CallRecord();
  }

  // The entry of `line` in the lines of `r`, an open call whose table has
  // room for `capacity` entries; inserted in line order with Count 0 and
  // Total 0 when missing (growing the table and `capacity`). `hint` is the
  // index returned last time, tried first with the entry after it. The
  // reference stays valid until the next insert.
  LineEntry& LineSlot(CallRecord& r, uint32_t& capacity, uint32_t& hint, int32_t line) {
    const uint32_t next = hint + 1;
    if (next < r.LineCount && r.LineData[next].Line == line) return r.LineData[hint = next];
    if (hint < r.LineCount && r.LineData[hint].Line == line) return r.LineData[hint];
    return FindOrInsert(r, capacity, hint, line);
  }
  // Called when `r` exits: a table with spare room moves to an exact block.
  void FitLines(CallRecord& r, uint32_t capacity) {
    if (capacity != r.LineCount) Fit(r, capacity);
  }
  // Releases every record and line table.
  void Clear();

  // Bytes handed out to records and line tables (the tree's own size).
  size_t BytesInUse() const { return inUse_; }
  // Bytes held from the system: every chunk, used or not.
  size_t BytesReserved() const { return reserved_; }

  // Chunks past the first 2 MiB: three large pages, 6 MiB, a whole number
  // of 48-byte records and of 16-byte line entries, so that records filling
  // a chunk leave no unused end (2 MiB would leave 32 bytes).
  static constexpr size_t kLargeChunkSize = 3 * (size_t{2} << 20);

 private:
  static constexpr size_t kSmallChunkSize = 256 * 1024;
  static constexpr size_t kAlignment = 8;
  static constexpr size_t kClasses = 32;  // line-table capacities 2^0 .. 2^31

  void* Allocate(size_t bytes) {
    bytes = (bytes + kAlignment - 1) & ~(kAlignment - 1);
    if (bytes > static_cast<size_t>(end_ - next_)) return AllocateSlow(bytes);
    void* block = next_;
    next_ += bytes;
    return block;
  }
  void* AllocateSlow(size_t bytes);
  LineEntry& FindOrInsert(CallRecord& r, uint32_t& capacity, uint32_t& hint, int32_t line);
  void Fit(CallRecord& r, uint32_t capacity);
  LineEntry* NewLineBlock(uint32_t capacity);
  void FreeLineBlock(LineEntry* block, uint32_t capacity);

  struct Chunk {
    void* Block;
    size_t Size;
  };
  std::vector<Chunk> chunks_;  // owned, released by Clear
  char* next_ = nullptr;       // free space of the newest chunk
  char* end_ = nullptr;
  std::array<LineEntry*, kClasses> freeBlocks_{};  // singly linked through the block's first bytes
  size_t inUse_ = 0;
  size_t reserved_ = 0;
};

}  // namespace quillet
