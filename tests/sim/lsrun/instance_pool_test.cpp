// The instance pool: freed instances and their slots serve the next New, and
// the live ones still come back in the order they were made.
#include "sim/lsrun/instance_pool.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet::lsrun {
namespace {

struct NoOwner : Instance::Owner {
  void InstanceReleased(Instance*) override {}
};

TEST(InstancePool, FreedInstancesServeTheNextNewWithFreshState) {
  NoOwner owner;
  InstancePool pool(&owner);
  Instance* a = pool.Make(100, 3);
  a->members[2] = Value::Long(7);
  a->state = Instance::State::kDead;
  a->members.clear();
  pool.Free(a);
  EXPECT_FALSE(pool.Holds(a));
  Instance* b = pool.Make(200, 5);
  EXPECT_EQ(b, a);  // the same memory
  EXPECT_TRUE(pool.Holds(b));
  EXPECT_EQ(b->classOffset, 200u);
  EXPECT_EQ(b->state, Instance::State::kLive);
  ASSERT_EQ(b->members.size(), 5u);
  for (const Value& m : b->members) EXPECT_EQ(m.type(), Value::Type::kEmpty);
  EXPECT_GT(b->created, a == b ? 0u : 1u);
}

TEST(InstancePool, LiveInstancesComeBackInCreationOrderAfterSlotsAreReused) {
  NoOwner owner;
  InstancePool pool(&owner);
  Instance* first = pool.Make(1, 0);
  Instance* second = pool.Make(2, 0);
  Instance* third = pool.Make(3, 0);
  pool.Free(second);
  pool.Free(first);
  Instance* fourth = pool.Make(4, 0);  // first's slot and memory
  Instance* fifth = pool.Make(5, 0);   // second's
  std::vector<uint32_t> classes;
  for (Instance* i : pool.LiveByCreation()) classes.push_back(i->classOffset);
  EXPECT_EQ(classes, (std::vector<uint32_t>{3, 4, 5}));
  EXPECT_TRUE(pool.Holds(third));
  EXPECT_TRUE(pool.Holds(fourth));
  EXPECT_TRUE(pool.Holds(fifth));
}

TEST(InstancePool, FreeIgnoresWhatThePoolDoesNotHold) {
  NoOwner owner;
  InstancePool pool(&owner);
  Instance* a = pool.Make(1, 0);
  pool.Free(a);
  pool.Free(a);  // twice: the second is refused, not a second spare
  Instance* b = pool.Make(2, 0);
  Instance* c = pool.Make(3, 0);
  EXPECT_NE(b, c);
  EXPECT_EQ(pool.LiveByCreation().size(), 2u);
}

}  // namespace
}  // namespace quillet::lsrun
