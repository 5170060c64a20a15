// Segment buffers kept per thread between rich-text rewrites: a rewrite
// takes one buffer per segment and gives them back once its segments are
// written, so the next rewrite on the thread emits into memory it has
// already touched rather than into fresh pages.
#pragma once

#include <cstddef>
#include <memory>

#include "design/record_buffer.h"

namespace quillet {

class SegmentPool {
 public:
  // At most this many buffers (of one segment's size each, about 4 MiB in
  // all) stay with a thread; more are freed when given back.
  static constexpr size_t kKeptSegments = 64;

  // An empty segment buffer: a kept one, else a new one; null when memory
  // runs out.
  static std::unique_ptr<RecordBuffer> Take() noexcept;
  // Keeps `buffer` (null is ignored) for the thread's next rewrite.
  static void Give(std::unique_ptr<RecordBuffer> buffer) noexcept;
  // Buffers the calling thread keeps now.
  static size_t Kept() noexcept;
};

}  // namespace quillet
