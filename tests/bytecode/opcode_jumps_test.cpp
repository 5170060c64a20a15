// Tests of jump targets: branch sizes, absolute targets and re-encoding.
#include "bytecode/opcode_jumps.h"

#include <gtest/gtest.h>

#include <vector>

#include "bytecode/opcodes.h"

namespace quillet {
namespace {

TEST(BranchSize, ValuesByClass) {
  EXPECT_EQ(OpJZ().branchSize(), 3);
  EXPECT_EQ(OpJNZ().branchSize(), 3);
  EXPECT_EQ(OpJmp().branchSize(), 3);
  EXPECT_EQ(OpLongJmp().branchSize(), 3);
  EXPECT_EQ(OpFor().branchSize(), 3);
  EXPECT_EQ(OpNext().branchSize(), 3);
  EXPECT_EQ(OpGosub().branchSize(), 3);
  EXPECT_EQ(OpResumeLabel().branchSize(), 3);
  EXPECT_EQ(OpForAll().branchSize(), 5);
  EXPECT_EQ(OpNextForAll().branchSize(), 5);
  EXPECT_EQ(OpOnErrorGoto().branchSize(), 9);
  EXPECT_EQ(OpOnGoto(std::vector<int16_t>{1, 2, 3}).branchSize(), 8);
  EXPECT_EQ(OpOnGosub(std::vector<int16_t>{}).branchSize(), 2);
  EXPECT_EQ(OpLine().branchSize(), -1);
  EXPECT_EQ(OpInteger().branchSize(), -1);  // a signed value, not a target
  EXPECT_EQ(OpLoadProc().branchSize(), -1);
}

TEST(JumpTarget, CountsFromTheEndOfTheInstruction) {
  OpJmp jmp(int16_t{-20});
  jmp.offset = 100;
  EXPECT_EQ(jmp.target(), 83);

  OpJZ jz(int16_t{25});
  jz.offset = 10;
  EXPECT_EQ(jz.target(), 38);

  OpForAll forall(uint16_t{4}, int16_t{10});
  forall.offset = 0;
  EXPECT_EQ(forall.target(), 15);

  OpOnErrorGoto handler(uint16_t{0}, int16_t{-9});
  handler.offset = 9;
  EXPECT_EQ(handler.target(), 9);  // a jump to itself

  // Each On GoTo target counts from the end of its own slot.
  OpOnGoto on(std::vector<int16_t>{4, -16});
  on.offset = 50;
  EXPECT_EQ(on.target(0), 58);
  EXPECT_EQ(on.target(1), 40);
}

TEST(JumpTarget, SetTargetReencodesAgainstTheCurrentOffset) {
  OpJmp jmp(int16_t{-20});
  jmp.offset = 100;
  const int32_t target = jmp.target();
  jmp.offset = 140;  // code inserted before the jump moved it
  ASSERT_TRUE(jmp.setTarget(target));
  EXPECT_EQ(jmp.relTarget, -60);
  EXPECT_EQ(jmp.target(), target);

  OpOnGosub on(std::vector<int16_t>{0, 0});
  on.offset = 10;
  ASSERT_TRUE(on.setTarget(1, 0));
  EXPECT_EQ(on.targets[1], -16);
  EXPECT_EQ(on.target(1), 0);
}

TEST(JumpTarget, OutOfRangeIsRefusedAndLeavesTheJumpAsItWas) {
  OpJZ jz(int16_t{5});
  jz.offset = 0;
  EXPECT_TRUE(jz.setTarget(3 + 32767));   // the farthest forward target
  EXPECT_EQ(jz.relTarget, 32767);
  EXPECT_FALSE(jz.setTarget(3 + 32768));  // one more would wrap to a backward jump
  EXPECT_EQ(jz.relTarget, 32767);

  OpNextForAll next;
  next.offset = 40000;
  EXPECT_TRUE(next.setTarget(40005 - 32768));
  EXPECT_EQ(next.relTarget, -32768);
  EXPECT_FALSE(next.setTarget(40005 - 32769));
  EXPECT_EQ(next.relTarget, -32768);

  OpJmp far;
  far.offset = 0x7FFFFFF0;  // the distance is computed without overflow
  EXPECT_FALSE(far.setTarget(-0x7FFFFFFF));
  EXPECT_EQ(far.relTarget, 0);

  OpOnGoto on(std::vector<int16_t>{7});
  EXPECT_FALSE(on.setTarget(0, 100000));
  EXPECT_EQ(on.targets[0], 7);
}

TEST(JumpKind, SetKindAndCaseTargets) {
  OpJmp jmp;
  EXPECT_EQ(jmp.kind(), 0);
  jmp.setKind(3);
  EXPECT_EQ(jmp.kind(), 3);
  jmp.setCaseTargets({12, 20, 31}, 1, 0x44);
  EXPECT_EQ(jmp.kind(), 8);
  EXPECT_EQ(jmp.caseTargets, (std::vector<int32_t>{12, 20, 31}));
  EXPECT_EQ(jmp.caseExtra, 1);
  EXPECT_EQ(jmp.caseValue, 0x44);

  // The long jump shares the slots and keeps its label number.
  OpLongJmp lj(uint16_t{9});
  OpJmp& base = lj;
  base.setKind(3);
  EXPECT_EQ(base.kind(), 3);
  EXPECT_EQ(base.opcode(), 220);
  EXPECT_EQ(lj.relTarget, 0);
}

}  // namespace
}  // namespace quillet
