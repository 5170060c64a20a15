// Instruction sequences the runner takes as one step (runs of assignments,
// New with constant arguments, calls of declarations) and the starting
// values it works out once per procedure and class: errors inside them name
// the right statement, jumps into them run the rest, step limits fall where
// they would one instruction at a time, and no frame or instance shares a
// value it must have of its own.
#include <gtest/gtest.h>

#include <string>

#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

// Five assignments in a row, the third overflowing an Integer.
constexpr const char* kOverflowingRun =
    "Sub Initialize\n"                                      // 1
    "  Dim a As Integer, b As Integer, c As Integer\n"      // 2
    "  Dim big As Long, d As Long\n"                        // 3
    "  big = 100000\n"                                      // 4
    "  a = 1\n"                                             // 5
    "  b = big\n"                                           // 6
    "  c = 3\n"                                             // 7
    "  d = 4\n"                                             // 8
    "  Print a; \" \"; b; \" \"; c; \" \"; d\n"              // 9
    "End Sub\n";

TEST(RunFused, ErrorInsideARunOfAssignmentsNamesItsOwnLine) {
  const RunResult r = testing::CompileAndRun(kOverflowingRun);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Overflow, error 6 in 'Initialize' at line 6"), std::string::npos) << r.error;
}

TEST(RunFused, TrappedErrorInsideARunResumesAfterTheFailingAssignment) {
  // Resume Next goes on with `c = 3`: the assignments before the failing
  // one stay done, those after it run, and Erl is the failing line.
  std::string source = kOverflowingRun;
  source.replace(source.find("  big = 100000\n"), 0, "  On Error Resume Next\n");
  EXPECT_EQ(testing::Output(source), "1 0 3 4\n");
  const std::string handled =
      "Sub Initialize\n"
      "  Dim a As Integer, b As Integer, c As Integer, big As Long\n"
      "  On Error GoTo failed\n"
      "  big = 100000\n"
      "  a = 1\n"
      "  b = big\n"
      "  c = 3\n"
      "  Print a; \" \"; b; \" \"; c\n"
      "  Exit Sub\n"
      "failed:\n"
      "  Print \"line \"; Erl; \" err \"; Err\n"
      "  Resume Next\n"
      "End Sub\n";
  EXPECT_EQ(testing::Output(handled), "line 6 err 6\n1 0 3\n");
}

TEST(RunFused, JumpIntoTheMiddleOfARunRunsOnlyTheRest) {
  EXPECT_EQ(testing::Output("Sub Initialize\n"
                            "  Dim a As Long, b As Long, c As Long, i As Long\n"
                            "  GoTo middle\n"
                            "  a = 1\n"
                            "middle:\n"
                            "  b = 2\n"
                            "  c = 3\n"
                            "  Print a; \" \"; b; \" \"; c\n"
                            "  a = 0\n"
                            "  b = 0\n"
                            "again:\n"
                            "  c = i\n"
                            "  i = i + 1\n"
                            "  If i < 3 Then GoTo again\n"
                            "  Print a; \" \"; b; \" \"; c; \" \"; i\n"
                            "End Sub\n"),
            "0 2 3\n0 0 2 3\n");
}

TEST(RunFused, JumpToANewWithConstantArgumentsAfterItsStart) {
  // The loop jumps back to `Set p = New ...`; GoSub lands on the statement
  // after it. Each New runs its constructor once.
  EXPECT_EQ(testing::Output("Class Item\n"
                            "  v As Long\n"
                            "  Sub New(x As Long)\n"
                            "    v = x\n"
                            "    Print \"new \"; x\n"
                            "  End Sub\n"
                            "End Class\n"
                            "Sub Initialize\n"
                            "  Dim p As Item, n As Integer\n"
                            "again:\n"
                            "  Set p = New Item(7)\n"
                            "  n = n + 1\n"
                            "  If n < 2 Then GoTo again\n"
                            "  GoSub after\n"
                            "  Exit Sub\n"
                            "after:\n"
                            "  Print p.v; \" \"; n\n"
                            "  Return\n"
                            "End Sub\n"),
            "new 7\nnew 7\n7 2\n");
}

// A run of assignments counts three instructions each and its markers, and
// a step limit anywhere in it stops on the same instruction as the
// instructions taken one at a time would.
TEST(RunFused, RunOfAssignmentsCountsEveryInstructionUpToTheStepLimit) {
  auto source = [](const std::string& second) {
    return "Dim g As Long\n"
           "Sub Initialize\n"
           "  Dim a As Long, b As Long, c As Long, i As Integer\n"
           "  For i = 1 To 3\n"
           "    a = i\n"
           "    b = " + second + "\n"
           "    c = g\n"
           "    g = a\n"
           "    Print a; \" \"; b; \" \"; c\n"
           "  Next\n"
           "End Sub\n";
  };
  const std::vector<uint8_t> plain = testing::Compile(source("a"));
  const std::vector<uint8_t> computed = testing::Compile(source("a + 0"));
  const RunResult a = RunModule(plain, RunOptions{});
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_EQ(a.output, "1 1 0\n2 2 1\n3 3 2\n");
  const RunResult b = RunModule(computed, RunOptions{});
  ASSERT_TRUE(b.ok) << b.error;
  EXPECT_EQ(b.output, a.output);
  EXPECT_EQ(b.steps, a.steps + 6);  // the addition's two instructions, three times
  // Nothing, then each line alone: none is skipped.
  EXPECT_EQ(testing::OutputsAtEveryStepLimit(plain, a).size(), 4u);
}

TEST(RunFused, ReleaseInsideARunRunsTheDestructorBeforeTheNextAssignment) {
  // `v = n` lets the object go; `m = g` must see what its Delete did.
  EXPECT_EQ(testing::Output("Dim g As Long\n"
                            "Class Counted\n"
                            "  Sub Delete\n"
                            "    g = g + 1\n"
                            "  End Sub\n"
                            "End Class\n"
                            "Sub Initialize\n"
                            "  Dim v As Variant, n As Long, m As Long\n"
                            "  Set v = New Counted\n"
                            "  v = n\n"
                            "  m = g\n"
                            "  Print m\n"
                            "End Sub\n"),
            "1\n");
}

TEST(RunFused, ObjectsLetGoByATrappedErrorAreDeletedBeforeTheProcedureEnds) {
  // The error leaves the new object on the value stack; the handler is the
  // procedure's end, which deletes it before the frame's own objects.
  EXPECT_EQ(testing::Output("Class Noisy\n"
                            "  tag As String\n"
                            "  Sub New(t As String)\n"
                            "    tag = t\n"
                            "  End Sub\n"
                            "  Sub Delete\n"
                            "    Print \"delete \"; tag\n"
                            "  End Sub\n"
                            "End Class\n"
                            "Sub Take(o As Noisy, ByVal n As Integer)\n"
                            "End Sub\n"
                            "Sub Work\n"
                            "  Dim keep As New Noisy(\"local\")\n"
                            "  On Error GoTo done\n"
                            "  Take New Noisy(\"temp\"), 1 / 0\n"
                            "done:\n"
                            "End Sub\n"
                            "Sub Initialize\n"
                            "  Work\n"
                            "  Print \"after\"\n"
                            "End Sub\n"),
            "delete temp\ndelete local\nafter\n");
}

TEST(RunFused, ConstantConstructorArgumentsConvertOnceAndStillFailAtTheirLine) {
  const char* kClass =
      "Class Cell\n"
      "  v As Integer\n"
      "  Sub New(x As Integer)\n"
      "    x = x + 1\n"
      "    v = x\n"
      "  End Sub\n"
      "End Class\n";
  // A parameter by reference that the constructor changes: the next New
  // gets the constant as written again.
  EXPECT_EQ(testing::Output(std::string(kClass) +
                            "Sub Initialize\n"
                            "  Dim a As Cell, b As Cell\n"
                            "  Set a = New Cell(5)\n"
                            "  Set b = New Cell(5)\n"
                            "  Print a.v; \" \"; b.v\n"
                            "End Sub\n"),
            "6 6\n");
  const RunResult r = testing::CompileAndRun(std::string(kClass) +  // 7 lines
                                             "Sub Initialize\n"
                                             "  Dim a As Cell\n"
                                             "  Set a = New Cell(1)\n"
                                             "  Set a = New Cell(70000)\n"  // line 11
                                             "End Sub\n");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Overflow, error 6 in 'Initialize' at line 11"), std::string::npos) << r.error;
}

TEST(RunFused, EveryInstanceAndFrameGetsArraysListsAndTypesOfItsOwn) {
  // Type members of a class and of its base, and a frame's arrays, lists
  // and Types, start fresh for each instance and each call, however often
  // the starting values computed once are copied.
  EXPECT_EQ(testing::Output("Type Point\n"
                            "  x As Long\n"
                            "End Type\n"
                            "Class Base\n"
                            "  tag As String\n"
                            "  p As Point\n"
                            "End Class\n"
                            "Class Box As Base\n"
                            "  q As Point\n"
                            "End Class\n"
                            "Function Depth(ByVal n As Integer) As String\n"
                            "  Dim local(1) As Integer, seen List As Integer, q As Point, s As String\n"
                            "  local(1) = n\n"
                            "  seen(\"k\") = n\n"
                            "  q.x = n\n"
                            "  s = s & n\n"
                            "  If n < 3 Then Depth = Depth(n + 1)\n"
                            "  Depth = Depth & local(1) & seen(\"k\") & q.x & s & \" \"\n"
                            "End Function\n"
                            "Sub Initialize\n"
                            "  Dim a As New Box, b As New Box\n"
                            "  a.p.x = 7\n"
                            "  a.q.x = 8\n"
                            "  a.tag = \"t\"\n"
                            "  Print a.p.x; \" \"; a.q.x; \" \"; b.p.x; \" \"; b.q.x; \" [\" & b.tag & \"]\"\n"
                            "  Print Depth(1)\n"
                            "End Sub\n"),
            "7 8 0 0 []\n3333 2222 1111 \n");
}

}  // namespace
}  // namespace quillet
