// Procedures that run in a lean frame (parameters and scalar locals only):
// which procedures qualify, and that errors, the recursion limit, reference
// parameters and frames shared by depth behave as in a full frame.
#include <gtest/gtest.h>

#include <string>

#include "sim/lsrun/procedure.h"
#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

using lsrun::Insn;
using lsrun::Procedure;
using lsrun::SlotType;
using lsrun::Value;
using lsrun::VariableInfo;

VariableInfo Local(SlotType type) {
  VariableInfo v;
  v.type = type;
  return v;
}

TEST(LeanFrames, OnlyProceduresWithoutFrameStateOrCountedLocalsAreLean) {
  Procedure scalar;
  scalar.info.locals = {Local(SlotType::kLong), Local(SlotType::kDouble)};
  scalar.localDefaults = {Value::Long(0), Value::Double(0)};
  EXPECT_TRUE(lsrun::IsLean(scalar));

  // A local that can hold an object, a string or anything else: its
  // release may run a destructor.
  for (SlotType type : {SlotType::kObject, SlotType::kVariant, SlotType::kString}) {
    Procedure p = scalar;
    p.info.locals.push_back(Local(type));
    EXPECT_FALSE(lsrun::IsLean(p)) << static_cast<int>(type);
  }
  Procedure array = scalar;
  array.info.locals.push_back(Local(SlotType::kLong));
  array.info.locals.back().isArray = true;
  EXPECT_FALSE(lsrun::IsLean(array));
  Procedure object = scalar;
  object.localDefaults.push_back(Value::Nothing());
  EXPECT_FALSE(lsrun::IsLean(object));

  Procedure loop = scalar;
  loop.loopStates = 1;
  EXPECT_FALSE(lsrun::IsLean(loop));
  Procedure forAll = scalar;
  forAll.forAllStates = 1;
  EXPECT_FALSE(lsrun::IsLean(forAll));
  for (uint8_t op : {lsrun::op::kGosub, lsrun::op::kOnGosub, lsrun::op::kOnErrorGoto, lsrun::op::kOnErrorGoto0,
                     lsrun::op::kOnErrorResume}) {
    Procedure p = scalar;
    p.code.push_back(Insn{.op = op});
    EXPECT_FALSE(lsrun::IsLean(p)) << static_cast<int>(op);
  }
}

TEST(LeanFrames, ErrorInALeanProcedureNamesItsLineAndUnwindsToTheHandler) {
  const std::string half =
      "Function Half(ByVal n As Long) As Integer\n"  // 1
      "  Dim k As Long\n"                             // 2
      "  k = n * 2\n"                                 // 3
      "  Half = k\n"                                  // 4: overflows past 32767
      "End Function\n";                               // 5
  const RunResult r = testing::CompileAndRun(half +
                                             "Sub Initialize\n"
                                             "  Print Half(10)\n"
                                             "  Print Half(40000)\n"
                                             "End Sub\n");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.output, "20\n");
  EXPECT_NE(r.error.find("Overflow, error 6 in 'Half' at line 4"), std::string::npos) << r.error;

  // Trapped in the caller: the caller's line is Erl, and the frame the
  // error left is whole for the next call at that depth.
  EXPECT_EQ(testing::Output(half +
                            "Sub Initialize\n"              // 6
                            "  On Error GoTo failed\n"      // 7
                            "  Print Half(40000)\n"         // 8
                            "  Print \"not reached\"\n"     // 9
                            "  Exit Sub\n"                  // 10
                            "failed:\n"                     // 11
                            "  Print Err; \" \"; Erl\n"     // 12
                            "  Print Half(3)\n"             // 13
                            "End Sub\n"),
            "6 8\n6\n");
}

TEST(LeanFrames, LeanRecursionStopsAtTheCallLimitWithItsLine) {
  const std::string down =
      "Dim reached As Long\n"                        // 1
      "Function Down(ByVal n As Long) As Long\n"     // 2
      "  reached = n\n"                               // 3
      "  Down = Down(n + 1)\n"                        // 4
      "End Function\n";                               // 5
  RunOptions options;
  options.maxCallDepth = 50;
  const RunResult r = testing::CompileAndRun(down +
                                             "Sub Initialize\n"
                                             "  Print Down(1)\n"
                                             "End Sub\n",
                                             options);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Out of stack space, error 28 in 'Down' at line 4"), std::string::npos) << r.error;

  // Initialize takes the first level, so Down reaches one less than the
  // limit; afterwards the frames are free for calls as deep again.
  EXPECT_EQ(testing::Output(down +
                            "Sub Initialize\n"
                            "  On Error GoTo full\n"
                            "  Print Down(1)\n"
                            "  Exit Sub\n"
                            "full:\n"
                            "  Print reached; \" \"; Err\n"
                            "  reached = 0\n"
                            "  Resume again\n"
                            "again:\n"
                            "  On Error GoTo done\n"
                            "  Print Down(1)\n"
                            "done:\n"
                            "  Print reached\n"
                            "End Sub\n",
                            options),
            "49 28\n49\n");
}

TEST(LeanFrames, ReferenceParametersReachTheCallersVariableThroughLeanFrames) {
  EXPECT_EQ(testing::Output("Sub Bump(n As Long, ByVal by As Long)\n"
                            "  n = n + by\n"
                            "  by = 0\n"
                            "End Sub\n"
                            "Sub Twice(n As Long)\n"
                            "  Bump n, 1\n"
                            "  Bump n, 1\n"
                            "End Sub\n"
                            "Sub Initialize\n"
                            "  Dim x As Long, amount As Long\n"
                            "  x = 5\n"
                            "  amount = 10\n"
                            "  Bump x, amount\n"
                            "  Twice x\n"
                            "  Print x; \" \"; amount\n"
                            "End Sub\n"),
            "17 10\n");
}

TEST(LeanFrames, LeanAndFullProceduresShareTheFramesOfADepth) {
  // Sq (lean) and SumTo (a loop) take turns in the frame of depth 2, and
  // Sq also runs inside SumTo's loop one level deeper.
  EXPECT_EQ(testing::Output("Function Sq(ByVal n As Long) As Long\n"
                            "  Sq = n * n\n"
                            "End Function\n"
                            "Function SumTo(ByVal n As Long) As Long\n"
                            "  Dim i As Long, s As Long\n"
                            "  For i = 1 To n\n"
                            "    s = s + Sq(i)\n"
                            "  Next\n"
                            "  SumTo = s\n"
                            "End Function\n"
                            "Sub Initialize\n"
                            "  Print Sq(3); \" \"; SumTo(3); \" \"; Sq(SumTo(2)); \" \"; SumTo(Sq(2))\n"
                            "End Sub\n"),
            "9 14 25 30\n");
}

TEST(LeanFrames, AnObjectLocalIsReleasedWhenItsProcedureReturns) {
  // Make holds an object local, so it does not run lean: its object's
  // Delete runs as the call returns, before the caller prints.
  EXPECT_EQ(testing::Output("Class Noisy\n"
                            "  id As Long\n"
                            "  Sub New(ByVal n As Long)\n"
                            "    id = n\n"
                            "    Print \"new \"; id\n"
                            "  End Sub\n"
                            "  Sub Delete\n"
                            "    Print \"delete \"; id\n"
                            "  End Sub\n"
                            "End Class\n"
                            "Function Make(ByVal n As Long) As Long\n"
                            "  Dim t As New Noisy(n)\n"
                            "  Make = n * 2\n"
                            "End Function\n"
                            "Sub Initialize\n"
                            "  Print Make(1)\n"
                            "  Print Make(2)\n"
                            "End Sub\n"),
            "new 1\ndelete 1\n2\nnew 2\ndelete 2\n4\n");
}

}  // namespace
}  // namespace quillet
