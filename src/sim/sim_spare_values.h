// Memory of deleted item values, which the simulated host keeps for the
// values appended next, as a host's own memory pools do: a rich-text item
// deleted and appended again in new segments then reuses pages already
// touched instead of fresh ones from the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillet::sim {

class SimSpareValues {
 public:
  // At most this many buffers, and this many bytes in all, are kept.
  static constexpr size_t kKeptBuffers = 64;
  static constexpr size_t kKeptBytes = size_t{8} << 20;

  // Keeps the memory of `storage` (its bytes are dropped); a buffer beyond
  // the limits, or without memory, is freed.
  void Give(std::vector<uint8_t>&& storage);
  // An empty buffer with room for `size` bytes: the smallest kept one that
  // fits and is at most twice that size (a small value does not hold on to
  // a large buffer), else an empty one without memory.
  std::vector<uint8_t> Take(size_t size);

  size_t keptBuffers() const { return kept_.size(); }
  size_t keptBytes() const { return bytes_; }

 private:
  std::vector<std::vector<uint8_t>> kept_;
  size_t bytes_ = 0;
};

}  // namespace quillet::sim
