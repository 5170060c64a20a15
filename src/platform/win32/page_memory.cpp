// Whole pages on Windows: committed virtual memory. Large pages need the
// lock-pages privilege, which a Notes process does not hold, so a large
// request gets plain pages (VirtualAlloc's 64 KiB granularity keeps chunks
// aligned well enough for the pool).
#include "platform/win32/windows_seam.h"

#include <atomic>

#include "platform/page_memory.h"

namespace quillet::platform {
namespace {

std::atomic<size_t> gHeld{0};

}  // namespace

void* AllocatePages(size_t bytes, bool) {
  if (bytes == 0) return nullptr;
  void* block = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block != nullptr) gHeld.fetch_add(bytes, std::memory_order_relaxed);
  return block;
}

void FreePages(void* block, size_t bytes) {
  if (block == nullptr) return;
  ::VirtualFree(block, 0, MEM_RELEASE);
  gHeld.fetch_sub(bytes, std::memory_order_relaxed);
}

size_t PagesHeld() { return gHeld.load(std::memory_order_relaxed); }

}  // namespace quillet::platform
