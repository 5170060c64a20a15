// Tests of procedure code extents and of finding procedures that share code.
#include "bytecode/code_extent.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "bytecode/opcode_numbers.h"

namespace quillet {
namespace {

// Two procedures: [0, 5) = Line 1, Err, EndSub; [5, 9) = Line 2, EndSub.
const std::vector<uint8_t> kTwoProcedures = {op::kLine, 1, 0, op::kErr, op::kEndSub, op::kLine, 2, 0, op::kEndSub};

TEST(ProcedureCodeEnd, EndsAfterTheFirstEndSubFromTheStart) {
  EXPECT_EQ(ProcedureCodeEnd(kTwoProcedures, 0), 5u);
  EXPECT_EQ(ProcedureCodeEnd(kTwoProcedures, 5), 9u);
  EXPECT_EQ(ProcedureCodeEnd(kTwoProcedures, 3), 5u);  // from an instruction inside the first
}

TEST(ProcedureCodeEnd, CodeThatDoesNotReachAnEndSubHasNoEnd) {
  EXPECT_EQ(ProcedureCodeEnd(kTwoProcedures, 9), std::nullopt);  // at the end of the code
  EXPECT_EQ(ProcedureCodeEnd(kTwoProcedures, 100), std::nullopt);
  const std::vector<uint8_t> noEndSub = {op::kErr, op::kErr};
  EXPECT_EQ(ProcedureCodeEnd(noEndSub, 0), std::nullopt);
  const std::vector<uint8_t> cutOperand = {op::kErr, op::kLine, 1};  // the line number runs past the end
  EXPECT_EQ(ProcedureCodeEnd(cutOperand, 0), std::nullopt);
}

TEST(OverlappingCode, StartsInsideAnotherProceduresCodeMarkBoth) {
  EXPECT_EQ(OverlappingCode(kTwoProcedures, std::vector<uint32_t>{0, 5}), (std::vector<bool>{false, false}));
  // A start at 3 lies inside [0, 5); the same start listed twice is one procedure.
  EXPECT_EQ(OverlappingCode(kTwoProcedures, std::vector<uint32_t>{5, 3, 0, 5}),
            (std::vector<bool>{false, true, true, false}));
  // A start that does not decode still overlaps code it lies in.
  EXPECT_EQ(OverlappingCode(kTwoProcedures, std::vector<uint32_t>{0, 1}), (std::vector<bool>{true, true}));
  // Code running past a later start (no EndSub before it) overlaps it.
  const std::vector<uint8_t> runOn = {op::kErr, op::kErr, op::kEndSub, op::kEndSub};
  EXPECT_EQ(OverlappingCode(runOn, std::vector<uint32_t>{0, 1, 3}), (std::vector<bool>{true, true, false}));
}

TEST(OverlappingCode, KnownEndsAreTakenAsGivenAndOthersDecoded) {
  // An end handed in is used without decoding: [0, 9) covers the start at 5.
  EXPECT_EQ(OverlappingCode(kTwoProcedures, std::vector<uint32_t>{0, 5}, std::map<uint32_t, uint32_t>{{0, 9}}),
            (std::vector<bool>{true, true}));
  // A start not handed in is decoded: 5 ends at 9, past the known end of 0.
  EXPECT_EQ(OverlappingCode(kTwoProcedures, std::vector<uint32_t>{0, 5}, std::map<uint32_t, uint32_t>{{0, 5}}),
            (std::vector<bool>{false, false}));
  EXPECT_EQ(OverlappingCode(kTwoProcedures, std::vector<uint32_t>{3, 5}, std::map<uint32_t, uint32_t>{{0, 9}}),
            (std::vector<bool>{false, false}));
}

TEST(CodeWalks, EndsAsProcedureCodeEndAndKeepsEachInstructionsLength) {
  CodeWalks walks;
  EXPECT_EQ(walks.Walk(kTwoProcedures, 0), ProcedureCodeEnd(kTwoProcedures, 0));
  EXPECT_EQ(walks.Walk(kTwoProcedures, 5), ProcedureCodeEnd(kTwoProcedures, 5));
  const std::span<const uint8_t> first = walks.Lengths(0);
  EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.end()), (std::vector<uint8_t>{3, 1, 1}));
  const std::span<const uint8_t> second = walks.Lengths(5);
  EXPECT_EQ(std::vector<uint8_t>(second.begin(), second.end()), (std::vector<uint8_t>{3, 1}));
  // Asked again, the first walk answers (for other bytes too).
  EXPECT_EQ(walks.Walk(std::vector<uint8_t>{op::kEndSub}, 0), 5u);
}

// Cleared, the walks of the module before answer nothing: the same start in
// the next module's code is walked anew.
TEST(CodeWalks, ClearedWalksWalkTheNextCodeAnew) {
  CodeWalks walks;
  ASSERT_EQ(walks.Walk(kTwoProcedures, 0), 5u);
  walks.Clear();
  EXPECT_TRUE(walks.Lengths(0).empty());
  const std::vector<uint8_t> next = {op::kErr, op::kEndSub};
  EXPECT_EQ(walks.Walk(next, 0), 2u);
  const std::span<const uint8_t> lengths = walks.Lengths(0);
  EXPECT_EQ(std::vector<uint8_t>(lengths.begin(), lengths.end()), (std::vector<uint8_t>{1, 1}));
}

TEST(CodeWalks, CodeThatDoesNotDecodeKeepsNoLengths) {
  CodeWalks walks;
  const std::vector<uint8_t> cutOperand = {op::kLine, 1};
  EXPECT_EQ(walks.Walk(cutOperand, 0), std::nullopt);
  EXPECT_TRUE(walks.Lengths(0).empty());
  EXPECT_EQ(walks.Walk(kTwoProcedures, 9), std::nullopt);  // at the end
  EXPECT_TRUE(walks.Lengths(7).empty());                   // never walked
}

TEST(DecodesAsInsertableCode, WholeInstructionsWithoutAnEndSub) {
  EXPECT_TRUE(DecodesAsInsertableCode(std::vector<uint8_t>{op::kLine, 0xFF, 0xFF, op::kErr}));
  EXPECT_TRUE(DecodesAsInsertableCode(std::vector<uint8_t>{}));
  EXPECT_FALSE(DecodesAsInsertableCode(std::vector<uint8_t>{op::kLine, 0xFF}));           // cut operand
  EXPECT_FALSE(DecodesAsInsertableCode(std::vector<uint8_t>{op::kErr, op::kEndSub}));     // ends a procedure
  EXPECT_FALSE(DecodesAsInsertableCode(std::vector<uint8_t>{op::kErr, 1}));               // not an instruction
}

}  // namespace
}  // namespace quillet
