// Chunked allocation of call records and line tables.
#include "timing/record_pool.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace quillet {

const LineEntry* LineTable::Find(int32_t line) const {
  const LineEntry* it =
      std::lower_bound(begin(), end(), line, [](const LineEntry& e, int32_t l) { return e.Line < l; });
  return (it != end() && it->Line == line) ? it : nullptr;
}

static_assert(alignof(CallRecord) <= 8 && alignof(LineEntry) <= 8);

void* RecordPool::CountingHeap::do_allocate(size_t bytes, size_t alignment) {
  void* block = std::pmr::new_delete_resource()->allocate(bytes, alignment);
  reserved += bytes;
  return block;
}

void RecordPool::CountingHeap::do_deallocate(void* block, size_t bytes, size_t alignment) {
  std::pmr::new_delete_resource()->deallocate(block, bytes, alignment);
  reserved -= bytes;
}

void* RecordPool::Allocate(size_t bytes) { return arena_.allocate(bytes, kAlignment); }

CallRecord* RecordPool::NewRecord() {
  inUse_ += sizeof(CallRecord);
  return new (Allocate(sizeof(CallRecord))) CallRecord();
}

LineEntry* RecordPool::NewLineBlock(uint32_t capacity) {
  inUse_ += size_t{capacity} * sizeof(LineEntry);
  const unsigned cls = static_cast<unsigned>(std::countr_zero(capacity));
  if (LineEntry* block = freeBlocks_[cls]) {
    LineEntry* next;
    std::memcpy(&next, block, sizeof next);
    freeBlocks_[cls] = next;
    return block;
  }
  return static_cast<LineEntry*>(Allocate(size_t{capacity} * sizeof(LineEntry)));
}

void RecordPool::FreeLineBlock(LineEntry* block, uint32_t capacity) {
  inUse_ -= size_t{capacity} * sizeof(LineEntry);
  const unsigned cls = static_cast<unsigned>(std::countr_zero(capacity));
  std::memcpy(static_cast<void*>(block), &freeBlocks_[cls], sizeof(LineEntry*));
  freeBlocks_[cls] = block;
}

LineEntry& RecordPool::LineSlot(LineTable& table, int32_t line) {
  LineEntry* first = table.Entries;
  LineEntry* last = first + table.Size;
  // Fast paths: the last line again, or a line after every known one.
  LineEntry* at = last;
  if (table.Size != 0 && line <= last[-1].Line) {
    at = std::lower_bound(first, last, line, [](const LineEntry& e, int32_t l) { return e.Line < l; });
    if (at->Line == line) return *at;
  }
  const size_t index = static_cast<size_t>(at - first);
  if (table.Size == table.Capacity) {
    const uint32_t capacity = table.Capacity == 0 ? 2 : table.Capacity * 2;
    LineEntry* grown = NewLineBlock(capacity);
    if (table.Size != 0) {
      std::memcpy(static_cast<void*>(grown), first, table.Size * sizeof(LineEntry));
      FreeLineBlock(first, table.Capacity);
    }
    table.Entries = grown;
    table.Capacity = capacity;
  }
  LineEntry* slot = table.Entries + index;
  std::memmove(static_cast<void*>(slot + 1), slot, (table.Size - index) * sizeof(LineEntry));
  *slot = LineEntry{line, 0, 0};
  ++table.Size;
  return *slot;
}

void RecordPool::Clear() {
  arena_.release();
  freeBlocks_.fill(nullptr);
  inUse_ = 0;
}

}  // namespace quillet
