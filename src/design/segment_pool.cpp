// The per-thread store of spare segment buffers.
#include "design/segment_pool.h"

#include <new>
#include <vector>

namespace quillet {
namespace {

std::vector<std::unique_ptr<RecordBuffer>>& Spare() {
  thread_local std::vector<std::unique_ptr<RecordBuffer>> spare;
  return spare;
}

}  // namespace

std::unique_ptr<RecordBuffer> SegmentPool::Take() noexcept {
  std::vector<std::unique_ptr<RecordBuffer>>& spare = Spare();
  if (!spare.empty()) {
    std::unique_ptr<RecordBuffer> kept = std::move(spare.back());
    spare.pop_back();
    kept->Clear();
    return kept;
  }
  try {
    return std::make_unique<RecordBuffer>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void SegmentPool::Give(std::unique_ptr<RecordBuffer> buffer) noexcept {
  std::vector<std::unique_ptr<RecordBuffer>>& spare = Spare();
  if (!buffer || spare.size() >= kKeptSegments) return;
  // Only a buffer of one segment's size is kept: Take promises that size.
  if (buffer->capacity() != RecordBuffer::kSegmentSize) return;
  try {
    if (spare.capacity() == 0) spare.reserve(kKeptSegments);
    spare.push_back(std::move(buffer));
  } catch (const std::bad_alloc&) {
    // Not kept: the buffer is freed with `buffer`.
  }
}

size_t SegmentPool::Kept() noexcept { return Spare().size(); }

}  // namespace quillet
