// Programs covering the statements of the subset, compiled and run; each
// compares what the program printed.
#include <gtest/gtest.h>

#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

using testing::Output;

TEST(RunStatements, AssignmentArithmeticAndPrint) {
  EXPECT_EQ(Output("Sub Initialize\n"
                   "  Dim a As Integer, b As Long, s As String\n"
                   "  a = 7\n"
                   "  b = 100000\n"
                   "  s = \"x\"\n"
                   "  Print a + 3; \" \"; a - 10; \" \"; a * 6; \" \"; a / 2; \" \"; a \\ 2; \" \"; a Mod 4\n"
                   "  Print b * 3; \" \"; 2 ^ 10; \" \"; s & a & \"!\"\n"
                   "  Print (1 + 2) * 3 - -4; \" \"; 1 < 2; \" \"; 2 <= 1; \" \"; \"a\" <> \"b\"\n"
                   "  Print 6 And 3; \" \"; 6 Or 3; \" \"; 6 Xor 3; \" \"; Not 0; \" \"; True And False\n"
                   "  Print \"no newline \";\n"
                   "  Print \"after\"\n"
                   "End Sub\n"),
            "10 -3 42 3.5 3 3\n"
            "300000 1024 x7!\n"
            "13 True False True\n"
            "2 7 5 -1 False\n"
            "no newline after\n");
}

TEST(RunStatements, IntegerConversionsRoundHalfToEvenAndOverflow) {
  EXPECT_EQ(Output("Sub Initialize\n"
                   "  Dim i As Integer\n"
                   "  i = 5 / 2\n"
                   "  Print i;\n"
                   "  i = 7 / 2\n"
                   "  Print \" \"; i; \" \"; 32767 + 1; \" \"; 1 / 4\n"
                   "End Sub\n"),
            "2 4 32768 .25\n");
  RunResult r = testing::CompileAndRun("Sub Initialize\n  Dim i As Integer\n  i = 40000\nEnd Sub\n");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Overflow"), std::string::npos) << r.error;
}

TEST(RunStatements, IfElseIfElseAndOneLineIf) {
  const char* src =
      "Sub Check(ByVal n As Integer)\n"
      "  If n < 0 Then\n"
      "    Print \"negative\"\n"
      "  ElseIf n = 0 Then\n"
      "    Print \"zero\"\n"
      "  ElseIf n < 10 Then\n"
      "    Print \"small\"\n"
      "  Else\n"
      "    Print \"large\"\n"
      "  End If\n"
      "  If n Mod 2 = 0 Then Print \"even\" Else Print \"odd\"\n"
      "End Sub\n"
      "Sub Initialize\n"
      "  Check -5\n"
      "  Check 0\n"
      "  Check 3\n"
      "  Check 12\n"
      "End Sub\n";
  EXPECT_EQ(Output(src), "negative\nodd\nzero\neven\nsmall\nodd\nlarge\neven\n");
}

TEST(RunStatements, WhileAndDoLoopsInEveryForm) {
  EXPECT_EQ(Output("Sub Initialize\n"
                   "  Dim i As Integer\n"
                   "  i = 0\n"
                   "  While i < 3\n"
                   "    Print \"w\"; i;\n"
                   "    i = i + 1\n"
                   "  Wend\n"
                   "  Do While i > 0\n"
                   "    i = i - 1\n"
                   "  Loop\n"
                   "  Print \" dw\"; i;\n"
                   "  Do Until i = 4\n"
                   "    i = i + 2\n"
                   "  Loop\n"
                   "  Print \" du\"; i;\n"
                   "  Do\n"
                   "    i = i + 1\n"
                   "  Loop While i < 2\n"
                   "  Print \" lw\"; i;\n"
                   "  Do\n"
                   "    i = i - 1\n"
                   "  Loop Until i < 0\n"
                   "  Print \" lu\"; i;\n"
                   "  Do\n"
                   "    i = i + 1\n"
                   "    If i = 3 Then Exit Do\n"
                   "  Loop\n"
                   "  Print \" xd\"; i\n"
                   "End Sub\n"),
            "w0w1w2 dw0 du4 lw5 lu-1 xd3\n");
}

TEST(RunStatements, ForWithStepsNestingAndExit) {
  EXPECT_EQ(Output("Sub Initialize\n"
                   "  Dim i As Integer, j As Integer\n"
                   "  For i = 1 To 3\n"
                   "    For j = 10 To 0 Step -5\n"
                   "      Print i * j; \" \";\n"
                   "    Next\n"
                   "  Next\n"
                   "  Print \"|\"; i;\n"
                   "  For i = 5 To 1\n"
                   "    Print \"never\";\n"
                   "  Next\n"
                   "  For i = 1 To 100\n"
                   "    If i = 4 Then Exit For\n"
                   "  Next\n"
                   "  Print \"|\"; i\n"
                   "End Sub\n"),
            "10 5 0 20 10 0 30 15 0 |4|4\n");
}

TEST(RunStatements, ForAllAliasesTheElements) {
  EXPECT_EQ(Output("Dim names(1 To 3) As String\n"
                   "Sub Initialize\n"
                   "  Dim nums(2) As Integer\n"
                   "  Dim k As Integer\n"
                   "  For k = 0 To 2\n"
                   "    nums(k) = k * 10\n"
                   "  Next\n"
                   "  ForAll n In nums\n"
                   "    n = n + 1\n"
                   "  End ForAll\n"
                   "  Print nums(0); \",\"; nums(1); \",\"; nums(2)\n"
                   "  names(1) = \"a\"\n"
                   "  names(2) = \"b\"\n"
                   "  names(3) = \"c\"\n"
                   "  ForAll s In names\n"
                   "    If s = \"c\" Then Exit ForAll\n"
                   "    Print s;\n"
                   "  End ForAll\n"
                   "  Print\n"
                   "End Sub\n"),
            "1,11,21\nab\n");
}

TEST(RunStatements, SelectCaseWithSeveralValuesAndElse) {
  EXPECT_EQ(Output("Function Name(ByVal n As Integer) As String\n"
                   "  Select Case n\n"
                   "  Case 1, 2, 3\n"
                   "    Name = \"low\"\n"
                   "  Case 4\n"
                   "    Name = \"four\"\n"
                   "  Case Else\n"
                   "    Name = \"other\"\n"
                   "  End Select\n"
                   "End Function\n"
                   "Sub Initialize\n"
                   "  Dim i As Integer\n"
                   "  For i = 0 To 5\n"
                   "    Print Name(i); \" \";\n"
                   "  Next\n"
                   "  Select Case \"b\"\n"
                   "  Case \"a\"\n"
                   "    Print \"A\"\n"
                   "  Case \"b\"\n"
                   "    Print \"B\"\n"
                   "  End Select\n"
                   "End Sub\n"),
            "other low low low four other B\n");
}

TEST(RunStatements, GoToGoSubAndOnDispatch) {
  EXPECT_EQ(Output("Sub Initialize\n"
                   "  Dim i As Integer\n"
                   "  GoTo skip\n"
                   "  Print \"skipped\"\n"
                   "skip:\n"
                   "  GoSub twice\n"
                   "  GoSub twice\n"
                   "  For i = 0 To 3\n"
                   "    On i GoSub one, two\n"
                   "  Next\n"
                   "  On 2 GoTo one, fin\n"
                   "  Print \"not here\"\n"
                   "  Exit Sub\n"
                   "twice:\n"
                   "  Print \"t\";\n"
                   "  Return\n"
                   "one:\n"
                   "  Print \"1\";\n"
                   "  Return\n"
                   "two:\n"
                   "  Print \"2\";\n"
                   "  Return\n"
                   "fin:\n"
                   "  Print \" end\"\n"
                   "End Sub\n"),
            "tt12 end\n");
}

TEST(RunStatements, OnErrorGoToResumeNextAndResumeNextMode) {
  EXPECT_EQ(Output("Sub Initialize\n"
                   "  Dim z As Integer\n"
                   "  On Error GoTo handler\n"
                   "  Print \"a\";\n"
                   "  Print 1 / z\n"
                   "  Print \"b\";\n"
                   "  On Error Resume Next\n"
                   "  Print 2 \\ z\n"
                   "  Print \"c\"\n"
                   "  On Error GoTo 0\n"
                   "  Exit Sub\n"
                   "handler:\n"
                   "  Print \"[trapped]\";\n"
                   "  Resume Next\n"
                   "End Sub\n"),
            "a[trapped]bc\n");
}

TEST(RunStatements, ProceduresFunctionsAndRecursion) {
  EXPECT_EQ(Output("Dim calls As Long\n"
                   "Function Fact(ByVal n As Long) As Long\n"
                   "  calls = calls + 1\n"
                   "  If n <= 1 Then\n"
                   "    Fact = 1\n"
                   "    Exit Function\n"
                   "  End If\n"
                   "  Fact = n * Fact(n - 1)\n"
                   "End Function\n"
                   "Sub Greet(ByVal who As String, ByVal times As Integer)\n"
                   "  Dim i As Integer\n"
                   "  For i = 1 To times\n"
                   "    Print \"hi \" & who\n"
                   "  Next\n"
                   "End Sub\n"
                   "Sub Initialize\n"
                   "  Print Fact(10); \" \"; calls\n"
                   "  Call Greet(\"bo\", 2)\n"
                   "  Greet \"al\", 1\n"
                   "End Sub\n"
                   "Sub Terminate\n"
                   "  Print \"terminate sees\"; calls\n"
                   "End Sub\n"),
            "3628800 10\nhi bo\nhi bo\nhi al\nterminate sees10\n");
}

TEST(RunStatements, NamedEntryRunsOnlyThatSub) {
  RunOptions options;
  options.entry = "other";
  EXPECT_EQ(Output("Sub Initialize\n  Print \"init\"\nEnd Sub\nSub Other\n  Print \"other\"\nEnd Sub\n", options),
            "other\n");
  options.entry = "missing";
  RunResult r = testing::CompileAndRun("Sub Initialize\nEnd Sub\n", options);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("missing"), std::string::npos);
}

}  // namespace
}  // namespace quillet
