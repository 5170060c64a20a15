// Tests of the timer class's NEW and DELETE bodies: encoded straight to
// bytes they must be the bytes their instruction lists encode to.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "instrument/timer_class_code.h"

namespace quillet {
namespace {

TimerClassHandles Handles() {
  TimerClassHandles h;
  for (size_t i = 0; i < kTimerMemberCount; ++i) {
    h.members[i] = static_cast<uint16_t>(0x0100 + 16 * i);
    h.params[i] = static_cast<uint16_t>(0x0A00 + 2 * i);
  }
  return h;
}

TEST(TimerClassBodies, EncodedBodiesAreTheirListsEncoded) {
  const TimerClassHandles h = Handles();
  const std::vector<uint8_t> created = EncodeNewBody(h, 0x0321);
  EXPECT_EQ(created, EncodeInstructions(BuildNewBody(h, 0x0321)));
  EXPECT_EQ(created.size(), static_cast<size_t>(kNewBodyLength));

  for (const std::optional<uint16_t> endOfRun : {std::optional<uint16_t>{}, std::optional<uint16_t>{0x0456}}) {
    const std::vector<uint8_t> deleted = EncodeDeleteBody(h, 0x0321, endOfRun);
    EXPECT_EQ(deleted, EncodeInstructions(BuildDeleteBody(h, 0x0321, endOfRun)));
    EXPECT_EQ(deleted.size(), static_cast<size_t>(endOfRun ? kDeleteBodyWithEndLength : kDeleteBodyLength));
  }
  // The handles reach the bytes: another member gives other bytes.
  TimerClassHandles other = h;
  other.members[2] = 0x0777;
  EXPECT_NE(EncodeDeleteBody(other, 0x0321, 0x0456), EncodeDeleteBody(h, 0x0321, 0x0456));
}

}  // namespace
}  // namespace quillet
