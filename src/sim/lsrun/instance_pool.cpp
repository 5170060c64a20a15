// Instances by reusable slot, and the freed ones kept for reuse.
#include "sim/lsrun/instance_pool.h"

#include <algorithm>

namespace quillet::lsrun {

Instance* InstancePool::Make(uint32_t classOffset, size_t slots) {
  Instance* instance = Take(classOffset);
  instance->members.resize(slots);
  return instance;
}

Instance* InstancePool::Make(uint32_t classOffset, std::span<const Value> members) {
  Instance* instance = Take(classOffset);
  instance->members.assign(members.begin(), members.end());
  return instance;
}

Instance* InstancePool::Take(uint32_t classOffset) {
  Instance* instance = nullptr;
  if (spare_.empty()) {
    instance = new Instance(owner_, classOffset, 0);
  } else {
    instance = spare_.back();
    spare_.pop_back();
    instance->classOffset = classOffset;
    instance->state = Instance::State::kLive;  // its members went when it was freed
  }
  instance->runtime = nullptr;
  instance->created = created_++;
  if (freeSlots_.empty()) {
    instance->poolSlot = static_cast<uint32_t>(live_.size());
    live_.push_back(instance);
  } else {
    instance->poolSlot = freeSlots_.back();
    freeSlots_.pop_back();
    live_[instance->poolSlot] = instance;
  }
  return instance;
}

void InstancePool::Free(Instance* instance) {
  if (!Holds(instance)) return;
  live_[instance->poolSlot] = nullptr;
  freeSlots_.push_back(instance->poolSlot);
  instance->members.clear();
  spare_.push_back(instance);
}

bool InstancePool::Holds(const Instance* instance) const {
  return instance != nullptr && instance->poolSlot < live_.size() && live_[instance->poolSlot] == instance;
}

std::vector<Instance*> InstancePool::LiveByCreation() const {
  std::vector<Instance*> out;
  for (Instance* instance : live_) {
    if (instance != nullptr) out.push_back(instance);
  }
  std::sort(out.begin(), out.end(), [](const Instance* a, const Instance* b) { return a->created < b->created; });
  return out;
}

void InstancePool::Clear() {
  // Members first: an instance may hold the last reference to another, and
  // none may be deleted while another still points at it.
  for (Instance* instance : live_) {
    if (instance != nullptr) instance->members.clear();
  }
  for (Instance* instance : live_) delete instance;
  for (Instance* instance : spare_) delete instance;
  live_.clear();
  freeSlots_.clear();
  spare_.clear();
}

}  // namespace quillet::lsrun
