// The allocator behind a call tree: records and line tables carved from chunks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <vector>

#include "timing/call_record.h"

namespace quillet {

// Owns every CallRecord and line table of one profile data. Both come from a
// standard monotonic arena (timer events only bump a pointer, no heap call per
// record; it measured faster than chunks of our own); the whole tree is
// released at once by Clear or destruction, so tearing down a deep tree never
// recurses.
// Line tables grow by doubling; outgrown blocks are kept on a free list per
// capacity and reused.
class RecordPool {
 public:
  RecordPool() = default;
  RecordPool(const RecordPool&) = delete;
  RecordPool& operator=(const RecordPool&) = delete;

  // A fresh record with every field at its initial value.
  CallRecord* NewRecord();
  // The entry of `line` in `table`, inserted in line order with Count 0 and
  // Total 0 when missing. The reference stays valid until the next insert.
  LineEntry& LineSlot(LineTable& table, int32_t line);
  // Releases every record and line table.
  void Clear();

  // Bytes handed out to records and live line tables (the tree's own size).
  size_t BytesInUse() const { return inUse_; }
  // Bytes held from the system, including unused chunk space.
  size_t BytesReserved() const { return heap_.reserved; }

 private:
  static constexpr size_t kChunkSize = 256 * 1024;  // the arena's first block
  static constexpr size_t kAlignment = 8;
  static constexpr size_t kClasses = 32;  // line-table capacities 2^1 .. 2^31

  void* Allocate(size_t bytes);
  LineEntry* NewLineBlock(uint32_t capacity);
  void FreeLineBlock(LineEntry* block, uint32_t capacity);

  // The general heap, counting what the arena holds from it.
  class CountingHeap final : public std::pmr::memory_resource {
   public:
    size_t reserved = 0;

   private:
    void* do_allocate(size_t bytes, size_t alignment) override;
    void do_deallocate(void* block, size_t bytes, size_t alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
  };

  CountingHeap heap_;  // declared before the arena: it outlives it
  std::pmr::monotonic_buffer_resource arena_{kChunkSize, &heap_};
  std::array<LineEntry*, kClasses> freeBlocks_{};  // singly linked through the block's first bytes
  size_t inUse_ = 0;
};

}  // namespace quillet
