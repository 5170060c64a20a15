// Memory straight from the system, in whole pages, for pools that carve many
// small blocks out of large chunks.
#pragma once

#include <cstddef>

namespace quillet::platform {

// The size of a large page where the system offers them (2 MiB on x86-64
// Linux); chunks of a multiple of it, at this alignment, can be backed by
// large pages.
inline constexpr size_t kLargePageSize = size_t{2} << 20;

// `bytes` of zeroed read-write memory, or null when the system refuses. With
// `largePages` the system is asked for large pages where it gives them
// without privileges: on Linux the block is aligned to kLargePageSize and
// advised to transparent huge pages, so one fault maps 2 MiB instead of
// 4 KiB; Windows gives plain pages, as its large pages need a privilege a
// Notes process does not hold. Release with FreePages and the same `bytes`.
void* AllocatePages(size_t bytes, bool largePages);
void FreePages(void* block, size_t bytes);

// Bytes this process holds from AllocatePages now, for measuring.
size_t PagesHeld();

}  // namespace quillet::platform
