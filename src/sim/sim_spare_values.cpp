// The simulated host's store of deleted values' memory.
#include "sim/sim_spare_values.h"

#include <utility>

namespace quillet::sim {

void SimSpareValues::Give(std::vector<uint8_t>&& storage) {
  const size_t capacity = storage.capacity();
  if (capacity == 0 || kept_.size() >= kKeptBuffers || capacity > kKeptBytes - bytes_) return;
  storage.clear();
  kept_.push_back(std::move(storage));
  bytes_ += capacity;
}

std::vector<uint8_t> SimSpareValues::Take(size_t size) {
  size_t best = kept_.size();
  for (size_t i = 0; i < kept_.size(); ++i) {
    const size_t capacity = kept_[i].capacity();
    if (capacity >= size && capacity / 2 <= size && (best == kept_.size() || capacity < kept_[best].capacity())) best = i;
  }
  if (best == kept_.size()) return {};
  std::vector<uint8_t> taken = std::move(kept_[best]);
  kept_[best] = std::move(kept_.back());
  kept_.pop_back();
  bytes_ -= taken.capacity();
  return taken;
}

}  // namespace quillet::sim
