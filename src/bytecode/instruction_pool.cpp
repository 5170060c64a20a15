// Per-thread free lists of instruction blocks over process-lifetime chunks.
#include "bytecode/instruction_pool.h"

#include <array>
#include <mutex>
#include <new>

namespace quillet::instruction_pool {
namespace {

// AddressSanitizer builds use the heap so freed instructions are caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

constexpr std::size_t kGranule = 16;  // block sizes and alignment
constexpr std::size_t kClasses = kLargestPooled / kGranule;
constexpr std::size_t kChunkBytes = 64 * 1024;

static_assert(kGranule >= alignof(std::max_align_t));

struct FreeBlock {
  FreeBlock* next;
};

using FreeLists = std::array<FreeBlock*, kClasses>;

std::size_t ClassOf(std::size_t size) { return size == 0 ? 0 : (size - 1) / kGranule; }
std::size_t BlockSize(std::size_t sizeClass) { return (sizeClass + 1) * kGranule; }

void Push(FreeBlock*& head, void* block) {
  auto* b = static_cast<FreeBlock*>(block);
  b->next = head;
  head = b;
}

// Blocks handed back by ended threads (and by frees after a thread's end).
// Never destroyed: a block may be freed during any static destruction order.
struct Shared {
  std::mutex mu;
  FreeLists free{};
};

Shared& TheShared() {
  static Shared* shared = new Shared;
  return *shared;
}

// One thread's free lists and the unused tail of its newest chunk. Trivially
// destructible, so it stays usable while other thread-local objects are
// destroyed; `ended` sends such late calls to the shared lists.
struct Local {
  FreeLists free{};
  char* tail = nullptr;
  std::size_t left = 0;
  bool registered = false;
  bool ended = false;
};

thread_local Local local;

// Hands a thread's free blocks to the shared lists when the thread ends.
struct LocalFlush {
  ~LocalFlush() {
    Shared& shared = TheShared();
    std::lock_guard lock(shared.mu);
    for (std::size_t c = 0; c < kClasses; ++c) {
      while (FreeBlock* b = local.free[c]) {
        local.free[c] = b->next;
        Push(shared.free[c], b);
      }
    }
    local.tail = nullptr;
    local.left = 0;
    local.ended = true;
  }
};

thread_local LocalFlush flushAtThreadEnd;

// Makes sure this thread's blocks reach the shared lists when it ends.
void Register() {
  if (local.registered) return;
  (void)&flushAtThreadEnd;  // constructs it, so its destructor runs at thread end
  local.registered = true;
}

void* TakeShared(std::size_t sizeClass, bool all) {
  Shared& shared = TheShared();
  std::lock_guard lock(shared.mu);
  FreeBlock* head = shared.free[sizeClass];
  if (head == nullptr) return nullptr;
  if (all) {
    // The rest of the list becomes this thread's.
    local.free[sizeClass] = head->next;
    shared.free[sizeClass] = nullptr;
  } else {
    shared.free[sizeClass] = head->next;
  }
  return head;
}

void* Carve(std::size_t sizeClass) {
  const std::size_t size = BlockSize(sizeClass);
  if (local.left < size) {
    // The old tail (less than one block) is left unused.
    local.tail = static_cast<char*>(::operator new(kChunkBytes));
    local.left = kChunkBytes;
  }
  void* block = local.tail;
  local.tail += size;
  local.left -= size;
  return block;
}

}  // namespace

void* Allocate(std::size_t size) {
  if (!kPooled || size > kLargestPooled) return ::operator new(size);
  const std::size_t c = ClassOf(size);
  if (local.ended) {
    if (void* block = TakeShared(c, false)) return block;
    return ::operator new(BlockSize(c));  // never freed: indistinguishable from a pool block
  }
  Register();
  if (FreeBlock* head = local.free[c]) {
    local.free[c] = head->next;
    return head;
  }
  if (void* block = TakeShared(c, true)) return block;
  return Carve(c);
}

void Release(void* block, std::size_t size) noexcept {
  if (block == nullptr) return;
  if (!kPooled || size > kLargestPooled) {
    ::operator delete(block);
    return;
  }
  const std::size_t c = ClassOf(size);
  if (local.ended) {
    Shared& shared = TheShared();
    std::lock_guard lock(shared.mu);
    Push(shared.free[c], block);
    return;
  }
  Register();
  Push(local.free[c], block);
}

}  // namespace quillet::instruction_pool
