// Time values of the simulated host: encoding, ordering across days, clock.
#include <gtest/gtest.h>

#include "sim/sim_time.h"

namespace quillet::sim {
namespace {

TEST(SimTime, TicksRoundTripAndOrderChronologicallyAcrossMidnight) {
  const TimeDate lateEvening = TimeFromTicks(2460311 * kTicksPerDay + kTicksPerDay - 1);
  const TimeDate nextMorning = TimeFromTicks(2460312 * kTicksPerDay + 5);
  EXPECT_GT(lateEvening.innards[0], nextMorning.innards[0]);  // within-day part alone would mislead
  EXPECT_LT(lateEvening, nextMorning);
  EXPECT_LT(lateEvening.AsU64(), nextMorning.AsU64());
  EXPECT_EQ(TicksFromTime(nextMorning), 2460312 * kTicksPerDay + 5);
  EXPECT_EQ(FormatTime(lateEvening), "2024-01-01 23:59:59");
  EXPECT_EQ(FormatTime(nextMorning), "2024-01-02 00:00:00");
  EXPECT_EQ(FormatTime(TimeFromTicks(2460370 * kTicksPerDay)), "2024-02-29 00:00:00");  // leap day
}

TEST(SimTime, ClockStampsAreStrictlyIncreasingAndAfterNow) {
  SimClock clock;
  const TimeDate now = clock.Now();
  const TimeDate first = clock.Stamp();
  const TimeDate second = clock.Stamp();
  EXPECT_LT(now, first);
  EXPECT_LT(first, second);
  EXPECT_LT(kMinimumTime, now);
  clock.Advance(kTicksPerDay);
  EXPECT_EQ(clock.Now().innards[1], second.innards[1] + 1);
}

}  // namespace
}  // namespace quillet::sim
