// The parameters and locals of every call under way, as slices of one stack
// of values: a call takes its slice on entry and gives it back on return, so
// no call allocates once the run has been as deep before. The stack grows by
// blocks that never move, so a reference to a slot stays good while its call
// runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/lsrun/value.h"

namespace quillet::lsrun {

class SlotStack {
 public:
  // Where the stack stands; Restore goes back to it.
  struct Mark {
    size_t block = 0;
    size_t top = 0;
  };

  SlotStack() = default;
  SlotStack(const SlotStack&) = delete;
  SlotStack& operator=(const SlotStack&) = delete;

  Mark Top() const { return {block_, top_}; }
  // `n` empty slots in a row above the top.
  Value* Take(size_t n) {
    if (block_ < blocks_.size() && blocks_[block_].size - top_ >= n) {
      Value* slots = blocks_[block_].values.get() + top_;
      top_ += n;
      return slots;
    }
    return TakeInNextBlock(n);
  }
  // Back to `mark`: every slot taken since must have been emptied.
  void Restore(Mark mark) {
    block_ = mark.block;
    top_ = mark.top;
  }

 private:
  // A block holds this many slots, or a larger slice on its own.
  static constexpr size_t kBlockSlots = 1024;
  struct Block {
    std::unique_ptr<Value[]> values;
    size_t size = 0;
  };
  // The slice starts the next block, made or widened first when it lacks
  // room; what the current block has left stays unused until Restore.
  Value* TakeInNextBlock(size_t n) {
    if (!blocks_.empty()) ++block_;
    if (block_ == blocks_.size()) blocks_.emplace_back();
    Block& b = blocks_[block_];
    if (b.size < n || b.values == nullptr) {
      b.size = n > kBlockSlots ? n : kBlockSlots;
      b.values = std::make_unique<Value[]>(b.size);
    }
    top_ = n;
    return b.values.get();
  }

  std::vector<Block> blocks_;
  size_t block_ = 0;
  size_t top_ = 0;
};

}  // namespace quillet::lsrun
