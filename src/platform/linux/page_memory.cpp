// Whole pages on Linux: anonymous mappings, large ones advised to huge pages.
#include "platform/page_memory.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>

namespace quillet::platform {
namespace {

std::atomic<size_t> gHeld{0};

// A fresh mapping, or null.
void* Map(size_t bytes) {
  void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

// `bytes` at a large-page boundary: a mapping one large page longer, with the
// unaligned head and the rest of the tail given back.
void* MapAligned(size_t bytes) {
  const size_t span = bytes + kLargePageSize;
  char* raw = static_cast<char*>(Map(span));
  if (raw == nullptr) return nullptr;
  const uintptr_t at = reinterpret_cast<uintptr_t>(raw);
  char* aligned = raw + ((kLargePageSize - at % kLargePageSize) % kLargePageSize);
  if (aligned != raw) ::munmap(raw, static_cast<size_t>(aligned - raw));
  char* tail = aligned + bytes;
  if (tail != raw + span) ::munmap(tail, static_cast<size_t>(raw + span - tail));
#ifdef MADV_HUGEPAGE
  // Only advice: where huge pages are off, the block stays in small pages.
  static_cast<void>(::madvise(aligned, bytes, MADV_HUGEPAGE));
#endif
  return aligned;
}

}  // namespace

void* AllocatePages(size_t bytes, bool largePages) {
  if (bytes == 0) return nullptr;
  void* block = largePages ? MapAligned(bytes) : Map(bytes);
  if (block != nullptr) gHeld.fetch_add(bytes, std::memory_order_relaxed);
  return block;
}

void FreePages(void* block, size_t bytes) {
  if (block == nullptr) return;
  ::munmap(block, bytes);
  gHeld.fetch_sub(bytes, std::memory_order_relaxed);
}

size_t PagesHeld() { return gHeld.load(std::memory_order_relaxed); }

}  // namespace quillet::platform
