// The stack of parameter and local slots: slices stay in place while later
// ones are taken, a slice that does not fit starts a new block, and Restore
// hands the slots back for the next call.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sim/lsrun/slot_stack.h"

namespace quillet::lsrun {
namespace {

TEST(SlotStack, SlicesStayInPlaceAcrossBlocksAndComeBackOnRestore) {
  SlotStack stack;
  struct Taken {
    SlotStack::Mark mark;
    Value* slots;
    size_t n;
  };
  std::vector<Taken> taken;
  // Deep enough, in slices of 300 or 2000 slots, to pass several block
  // boundaries and one slice wider than a block.
  for (int32_t depth = 0; depth < 12; ++depth) {
    const size_t n = depth == 5 ? 2000 : 300;
    const SlotStack::Mark mark = stack.Top();
    Value* slots = stack.Take(n);
    for (size_t k = 0; k < n; ++k) {
      ASSERT_EQ(slots[k].type(), Value::Type::kEmpty) << depth << " " << k;
      slots[k] = Value::Long(depth * 10000 + static_cast<int32_t>(k));
    }
    taken.push_back({mark, slots, n});
  }
  // Every slice still holds its own values: none overlaps another.
  for (size_t d = 0; d < taken.size(); ++d) {
    for (size_t k = 0; k < taken[d].n; ++k) {
      ASSERT_EQ(taken[d].slots[k].n(), static_cast<int32_t>(d * 10000 + k));
    }
  }
  // Unwound (each slice emptied, as a frame's release does), the same
  // slots serve the next calls at those depths.
  for (size_t d = taken.size(); d-- > 0;) {
    for (size_t k = 0; k < taken[d].n; ++k) taken[d].slots[k].Clear();
    stack.Restore(taken[d].mark);
  }
  EXPECT_EQ(stack.Take(300), taken[0].slots);
  EXPECT_EQ(stack.Take(300), taken[1].slots);
}

TEST(SlotStack, ABlockLeftForAWiderSliceIsWidenedWhenReused) {
  SlotStack stack;
  const SlotStack::Mark start = stack.Top();
  Value* first = stack.Take(1000);
  const SlotStack::Mark afterFirst = stack.Top();
  Value* second = stack.Take(100);  // does not fit: the next block
  EXPECT_NE(second, first + 1000);
  stack.Restore(afterFirst);
  // The next block must now hold 5000 in a row.
  Value* wide = stack.Take(5000);
  for (size_t k = 0; k < 5000; ++k) wide[k] = Value::Integer(1);
  for (size_t k = 0; k < 5000; ++k) wide[k].Clear();
  stack.Restore(start);
  EXPECT_EQ(stack.Take(0), first);
}

}  // namespace
}  // namespace quillet::lsrun
