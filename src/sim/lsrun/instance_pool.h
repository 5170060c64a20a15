// The object instances of one run: every instance not yet freed, by a slot
// that is reused once its instance is freed, and freed instances kept for the
// next New, so making and freeing objects allocates nothing once the run has
// held as many at a time before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/lsrun/value.h"

namespace quillet::lsrun {

class InstancePool {
 public:
  // Every instance tells `owner` of its last release.
  explicit InstancePool(Instance::Owner* owner) : owner_(owner) {}
  InstancePool(const InstancePool&) = delete;
  InstancePool& operator=(const InstancePool&) = delete;
  ~InstancePool() { Clear(); }

  // A live instance of the class at `classOffset` with `slots` empty members,
  // owned by the pool until Free or Clear.
  Instance* Make(uint32_t classOffset, size_t slots);
  // The same with members copied from `members` (a class's starting values)
  // in one pass.
  Instance* Make(uint32_t classOffset, std::span<const Value> members);
  // Takes back an instance nothing refers to any more; its members must
  // have gone already.
  void Free(Instance* instance);
  // Whether `instance` is one the pool holds and has not freed.
  bool Holds(const Instance* instance) const;
  // The instances not yet freed, oldest first.
  std::vector<Instance*> LiveByCreation() const;
  // Lets go of every member of every instance, then frees all of them.
  void Clear();

 private:
  // A live instance without members, from the spare ones when there are.
  Instance* Take(uint32_t classOffset);
  Instance::Owner* owner_;
  std::vector<Instance*> live_;  // by slot; null where the slot is free
  std::vector<uint32_t> freeSlots_;
  std::vector<Instance*> spare_;  // freed, memory kept for the next Make
  uint64_t created_ = 0;
};

}  // namespace quillet::lsrun
