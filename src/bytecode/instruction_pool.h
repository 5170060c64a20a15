// Memory for instruction objects. Decoding a module allocates one object per
// instruction and frees them procedure after procedure, so freed blocks are
// kept per thread in size classes and handed out again instead of going
// through the general heap each time.
//
// Blocks come from 64 KiB chunks that live as long as the process: what the
// pool holds is the most instruction memory ever alive at once, which decoding
// one procedure at a time keeps small. A thread that ends hands its free
// blocks to the process-wide lists, where any thread picks them up. Blocks may
// be freed on another thread than the one that allocated them.
//
// AddressSanitizer builds use the general heap, so use-after-free and leak
// checks see every instruction.
#pragma once

#include <cstddef>

namespace quillet::instruction_pool {

// Blocks up to this size come from the pool; larger ones from the heap.
inline constexpr std::size_t kLargestPooled = 256;

// A block of at least `size` bytes, aligned for any instruction object.
// Throws std::bad_alloc when no memory is left.
void* Allocate(std::size_t size);

// Gives back a block from Allocate(size) with the same size.
void Release(void* block, std::size_t size) noexcept;

}  // namespace quillet::instruction_pool
