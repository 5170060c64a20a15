// Chunked allocation of call records and line tables.
#include "timing/record_pool.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "platform/page_memory.h"

namespace quillet {

const LineEntry* LineTable::Find(int32_t line) const {
  const LineEntry* it =
      std::lower_bound(begin(), end(), line, [](const LineEntry& e, int32_t l) { return e.Line < l; });
  return (it != end() && it->Line == line) ? it : nullptr;
}

static_assert(alignof(CallRecord) <= 8 && alignof(LineEntry) <= 8);
static_assert(sizeof(LineEntry) == 16);
static_assert(RecordPool::kLargeChunkSize % platform::kLargePageSize == 0);
static_assert(sizeof(void*) == 4 || RecordPool::kLargeChunkSize % sizeof(CallRecord) == 0);

RecordPool::~RecordPool() { Clear(); }

void* RecordPool::AllocateSlow(size_t bytes) {
  const bool large = reserved_ >= platform::kLargePageSize;
  const size_t chunkSize = large ? kLargeChunkSize : kSmallChunkSize;
  // A block larger than a chunk gets a chunk of its own; the current chunk
  // keeps serving small blocks.
  const size_t size = std::max(bytes, chunkSize);
  chunks_.reserve(chunks_.size() + 1);
  char* chunk = static_cast<char*>(platform::AllocatePages(size, large && size == chunkSize));
  if (chunk == nullptr) throw std::bad_alloc();
  chunks_.push_back(Chunk{chunk, size});
  reserved_ += size;
  if (size == chunkSize) {
    next_ = chunk + bytes;
    end_ = chunk + size;
  }
  return chunk;
}

LineEntry* RecordPool::NewLineBlock(uint32_t capacity) {
  const size_t bytes = size_t{capacity} * sizeof(LineEntry);
  const unsigned cls = static_cast<unsigned>(std::countr_zero(capacity));
  if (LineEntry* block = freeBlocks_[cls]) {
    LineEntry* next;
    std::memcpy(&next, block, sizeof next);
    freeBlocks_[cls] = next;
    inUse_ += bytes;
    return block;
  }
  LineEntry* block = static_cast<LineEntry*>(Allocate(bytes));  // counted once it did not throw
  inUse_ += bytes;
  return block;
}

void RecordPool::FreeLineBlock(LineEntry* block, uint32_t capacity) {
  inUse_ -= size_t{capacity} * sizeof(LineEntry);
  const unsigned cls = static_cast<unsigned>(std::countr_zero(capacity));
  std::memcpy(static_cast<void*>(block), &freeBlocks_[cls], sizeof(LineEntry*));
  freeBlocks_[cls] = block;
}

LineEntry& RecordPool::FindOrInsert(CallRecord& r, uint32_t& capacity, uint32_t& hint, int32_t line) {
  LineEntry* first = r.LineData;
  LineEntry* last = first + r.LineCount;
  // A line after every known one is an append; otherwise search.
  LineEntry* at = last;
  if (r.LineCount != 0 && line <= last[-1].Line) {
    at = std::lower_bound(first, last, line, [](const LineEntry& e, int32_t l) { return e.Line < l; });
    if (at->Line == line) {
      hint = static_cast<uint32_t>(at - first);
      return *at;
    }
  }
  const uint32_t index = static_cast<uint32_t>(at - first);
  if (r.LineCount == capacity) {
    const uint32_t grown = capacity == 0 ? 1 : capacity * 2;
    LineEntry* block = NewLineBlock(grown);
    if (r.LineCount != 0) {
      std::memcpy(static_cast<void*>(block), first, r.LineCount * sizeof(LineEntry));
      FreeLineBlock(first, capacity);
    }
    r.LineData = block;
    capacity = grown;
  }
  LineEntry* slot = r.LineData + index;
  std::memmove(static_cast<void*>(slot + 1), slot, (r.LineCount - index) * sizeof(LineEntry));
  *slot = LineEntry{line, 0, 0};
  ++r.LineCount;
  hint = index;
  return *slot;
}

void RecordPool::Fit(CallRecord& r, uint32_t capacity) {
  LineEntry* exact = nullptr;
  if (r.LineCount != 0) {
    exact = static_cast<LineEntry*>(Allocate(size_t{r.LineCount} * sizeof(LineEntry)));
    inUse_ += size_t{r.LineCount} * sizeof(LineEntry);
    std::memcpy(static_cast<void*>(exact), r.LineData, r.LineCount * sizeof(LineEntry));
  }
  if (capacity != 0) FreeLineBlock(r.LineData, capacity);
  r.LineData = exact;
}

void RecordPool::Clear() {
  for (const Chunk& chunk : chunks_) platform::FreePages(chunk.Block, chunk.Size);
  chunks_.clear();
  next_ = end_ = nullptr;
  freeBlocks_.fill(nullptr);
  inUse_ = 0;
  reserved_ = 0;
}

}  // namespace quillet
