// For loops over Integer and Long variables (Next worked in whole numbers)
// against the general path at every edge where they part: overflow of the
// variable, negative steps, a variable changed in the body or passed by
// reference; built-in arguments in their reused buffer; a New whose object
// outlives it through a reference Me handed out, and members of Me read
// after the last other reference to it went.
#include <gtest/gtest.h>

#include <string>

#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

using testing::CompileAndRun;
using testing::Output;

std::string InInitialize(const std::string& body) { return "Sub Initialize\n" + body + "End Sub\n"; }

TEST(RunWholeNumberLoops, StepsCountsAndTheVariableAfterTheLoop) {
  // Up, down by a negative step, a step that passes the limit, a loop that
  // never runs: the variable ends one step past the last value.
  EXPECT_EQ(Output(InInitialize("  Dim i As Long\n"
                                "  For i = 1 To 3\n    Print i;\n  Next\n  Print \"|\"; i\n"
                                "  For i = 5 To 1 Step -2\n    Print i;\n  Next\n  Print \"|\"; i\n"
                                "  For i = 0 To 10 Step 4\n    Print i;\n  Next\n  Print \"|\"; i\n"
                                "  For i = 3 To 1\n    Print i;\n  Next\n  Print \"|\"; i\n")),
            "123|4\n531|-1\n048|12\n|3\n");
  // An Integer variable with Long bounds, and a limit read once.
  EXPECT_EQ(Output(InInitialize("  Dim i As Integer, k As Long\n  k = 3\n"
                                "  For i = 1 To k\n    k = 1\n    Print i;\n  Next\n  Print \"|\"; i\n")),
            "123|4\n");
}

TEST(RunWholeNumberLoops, TheBodyChangingTheVariableMovesTheLoop) {
  EXPECT_EQ(Output(InInitialize("  Dim i As Long\n"
                                "  For i = 1 To 10\n    i = i + 3\n    Print i;\n  Next\n  Print \"|\"; i\n")),
            "4812|13\n");
}

TEST(RunWholeNumberLoops, ASumTheVariableCannotHoldIsAnOverflowOnTheNextLine) {
  // The last value fits; the step after it does not, and Next raises the
  // error on its own line, as for any other loop.
  const RunResult integer = CompileAndRun(InInitialize("  Dim i As Integer\n"
                                                       "  For i = 32766 To 32767\n"
                                                       "    Print i\n"
                                                       "  Next\n"));
  EXPECT_FALSE(integer.ok);
  EXPECT_EQ(integer.output, "32766\n32767\n");
  EXPECT_NE(integer.error.find("Overflow, error 6 in 'Initialize' at line 5"), std::string::npos) << integer.error;

  const RunResult wide = CompileAndRun(InInitialize("  Dim i As Integer\n"
                                                    "  For i = 1 To 40000 Step 10000\n"
                                                    "    Print i;\n"
                                                    "  Next\n"));
  EXPECT_FALSE(wide.ok);
  EXPECT_EQ(wide.output, "1100012000130001");
  EXPECT_NE(wide.error.find("Overflow, error 6"), std::string::npos) << wide.error;

  const RunResult longs = CompileAndRun(InInitialize("  Dim i As Long\n"
                                                     "  For i = 2147483646 To 2147483647\n"
                                                     "    Print i\n"
                                                     "  Next\n"));
  EXPECT_FALSE(longs.ok);
  EXPECT_EQ(longs.output, "2147483646\n2147483647\n");
  EXPECT_NE(longs.error.find("Overflow, error 6 in 'Initialize' at line 5"), std::string::npos) << longs.error;

  // Trapped, the loop's error goes on after Next like any other.
  EXPECT_EQ(Output(InInitialize("  Dim i As Integer\n"
                                "  On Error Resume Next\n"
                                "  For i = 32767 To 32767\n  Next\n"
                                "  Print i; \"|\"; Err\n")),
            "32767|6\n");
}

TEST(RunWholeNumberLoops, VariantsReferencesAndFractionsTakeTheGeneralPath) {
  // A Variant variable, a variable passed by reference, a fractional step.
  EXPECT_EQ(Output(InInitialize("  Dim v\n  For v = 1 To 3\n    Print v;\n  Next\n  Print \"|\"; v\n")), "123|4\n");
  EXPECT_EQ(Output("Sub CountTo(n As Long)\n"
                   "  For n = 1 To 3\n  Next\n"
                   "End Sub\n" +
                   InInitialize("  Dim k As Long\n  CountTo k\n  Print k\n")),
            "4\n");
  EXPECT_EQ(Output(InInitialize("  Dim d As Double\n  For d = 1 To 2 Step 0.5\n    Print d;\n  Next\n")), "11.52");
}

TEST(RunBuiltins, ArgumentsDoNotLeakFromOneCallToTheNext) {
  // A failed call, then calls with and without an optional argument: each
  // sees only its own arguments.
  EXPECT_EQ(Output(InInitialize("  Dim s As String\n"
                                "  On Error Resume Next\n"
                                "  s = Left(\"abc\", -1)\n"
                                "  Print Err; \"|\"; s; \"|\"\n"
                                "  Print Mid(\"abcdef\", 2, 2); \"|\"; Mid(\"abcdef\", 3); \"|\"; Len(Trim(\"  x  \"))\n")),
            "5||\nbc|cdef|1\n");
}

TEST(RunObjects, AnObjectKeptByItsNewLivesOnAfterTheVariableGoes) {
  // New hands Me to a module variable: the local's release leaves the
  // object alive; it goes, with its Delete, when the module variable lets
  // go of it.
  EXPECT_EQ(Output("Class Keeper\n"
                   "  n As Long\n"
                   "  Sub New(ByVal k As Long)\n"
                   "    n = k\n"
                   "    Set kept = Me\n"
                   "  End Sub\n"
                   "  Sub Delete\n"
                   "    Print \"delete\"; n\n"
                   "  End Sub\n"
                   "End Class\n"
                   "Dim kept As Keeper\n"
                   "Sub Make\n"
                   "  Dim k As New Keeper(7)\n"
                   "  Print \"made\"\n"
                   "End Sub\n" +
                   InInitialize("  Make\n  Print \"back\"; kept.n\n  Set kept = Nothing\n  Print \"end\"\n")),
            "made\nback7\ndelete7\nend\n");
}

TEST(RunObjects, MembersOfMeReadAfterTheLastOtherReferenceGoes) {
  // The method's frame holds Me: its members stay readable, and Delete
  // runs once the method returns.
  EXPECT_EQ(Output("Class Node\n"
                   "  n As Long\n"
                   "  Sub New\n"
                   "    n = 5\n"
                   "  End Sub\n"
                   "  Sub Drop\n"
                   "    Set held = Nothing\n"
                   "    Print n + 1; Me.n\n"
                   "  End Sub\n"
                   "  Sub Delete\n"
                   "    Print \"delete\"; n\n"
                   "  End Sub\n"
                   "End Class\n"
                   "Dim held As Node\n" +
                   InInitialize("  Set held = New Node\n  held.Drop\n  Print \"after\"\n")),
            "65\ndelete5\nafter\n");
}

}  // namespace
}  // namespace quillet
