// Calls whose parameters and locals live on the runner's slot stack and
// whose arguments stay on the value stack while the call runs: objects
// deleted in the same order when several leave scope, an error raised in a
// Delete, a New that calls back into the procedure making it, reference
// parameters and arrays, frames wider than a block of slots, errors
// unwinding with their line, all run plain and instrumented alike.
#include <gtest/gtest.h>

#include <string>

#include "sim/lsrun/corpus_kit.h"
#include "sim/lsrun/run_helpers.h"

namespace quillet::testing {
namespace {

// Locals enough that frames at the default call depth pass several blocks
// of the slot stack: each frame keeps its own values across the calls above
// it.
std::string WideFrames() {
  std::string dims = "  Dim ";
  std::string sets;
  std::string sum = "  Wide = Wide(n - 1)";
  for (int k = 1; k <= 40; ++k) {
    const std::string v = "v" + std::to_string(k);
    dims += v + " As Long" + (k < 40 ? ", " : "\n");
    sets += "  " + v + " = n * " + std::to_string(k) + "\n";
    sum += " + " + v;
  }
  return "Function Wide(ByVal n As Long) As Long\n"
         "  If n = 0 Then Exit Function\n" +
         dims + sets + sum + "\nEnd Function\n";
}

class CallFrames : public CorpusFixture {};

TEST_P(CallFrames, RunPlainAndProfiledWithTheirOutput) { ExpectOutputPlainAndProfiled(GetParam()); }

const Program kPrograms[] = {
    // Scope's objects go when it ends, their Deletes running before its
    // caller goes on, in the runner's order (the parameter's object, then
    // the locals from the last declared).
    {"DeleteOrderWhenSeveralLeaveScope",
     "Class C\n"
     "  nm As String\n"
     "  Sub New(n As String)\n"
     "    nm = n\n"
     "  End Sub\n"
     "  Sub Delete\n"
     "    Print \"delete \" & nm\n"
     "  End Sub\n"
     "End Class\n"
     "Sub Scope(p As C)\n"
     "  Dim a As New C(\"a\")\n"
     "  Dim b As New C(\"b\")\n"
     "  Dim c As New C(\"c\")\n"
     "  Print \"leaving\"\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Scope New C(\"param\")\n"
     "  Scope New C(\"again\")\n"
     "  Print \"back\"\n"
     "End Sub\n",
     "leaving\ndelete param\ndelete c\ndelete b\ndelete a\n"
     "leaving\ndelete again\ndelete c\ndelete b\ndelete a\nback\n"},
    // The error raised in Delete reaches the statement whose call let go of
    // the object (line 14), where the caller's handler traps it; the rest of
    // the Delete does not run.
    {"ErrorInsideDelete",
     "Class C\n"
     "  Sub Delete\n"
     "    Print \"in delete\"\n"
     "    Error 1001, \"from delete\"\n"
     "    Print \"not here\"\n"
     "  End Sub\n"
     "End Class\n"
     "Sub Inner\n"
     "  Dim o As New C\n"
     "  Print \"inner\"\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  On Error GoTo H\n"
     "  Inner\n"
     "  Print \"after inner\"\n"
     "  Exit Sub\n"
     "H:\n"
     "  Print \"trapped \" & Err & \" \" & Error$ & \" line \" & Erl\n"
     "  Resume Next\n"
     "End Sub\n",
     "inner\nin delete\ntrapped 1001 from delete line 14\nafter inner\n"},
    // Count(n) makes a Node(n), whose New calls Count(n - 1) before the
    // outer call's frame is done: 5 + 4 + 3 + 2 + 1 + 0 = 15.
    {"NewCallingTheProcedureMakingIt",
     "Class Node\n"
     "  v As Long\n"
     "  Sub New(n As Long)\n"
     "    v = n\n"
     "    If n > 0 Then v = n + Count(n - 1)\n"
     "  End Sub\n"
     "End Class\n"
     "Function Count(ByVal n As Long) As Long\n"
     "  Dim o As New Node(n)\n"
     "  Count = o.v\n"
     "End Function\n"
     "Sub Initialize\n"
     "  Print Count(5)\n"
     "  Print Count(2)\n"
     "End Sub\n",
     "15\n3\n"},
    // Bump changes its caller's variable, an element and the array passed
    // by reference, not its ByVal copy: Twice prints y, a(1), a(2) each time
    // (6, 700, 1 then 7, 700, 1) and v ends at 7.
    {"ReferenceParametersAndArraysThroughTheStack",
     "Sub Bump(x As Long, arr() As Long, ByVal k As Long)\n"
     "  x = x + 1\n"
     "  arr(k) = arr(k) * 10\n"
     "  k = 99\n"
     "End Sub\n"
     "Sub Twice(y As Long)\n"
     "  Dim a(2) As Long\n"
     "  a(1) = 7\n"
     "  Bump y, a, 1\n"
     "  Bump a(2), a, 1\n"
     "  Print y; \" \"; a(1); \" \"; a(2)\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Dim v As Long\n"
     "  v = 5\n"
     "  Twice v\n"
     "  Twice v\n"
     "  Print v\n"
     "End Sub\n",
     "6 700 1\n7 700 1\n7\n"},
};

INSTANTIATE_TEST_SUITE_P(Runner, CallFrames, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

// Each level n adds n * (1 + 2 + ... + 40) = 820 n: Wide(200) is 820 times
// 1 + ... + 200 = 20100, wrong if a frame's slots were reused while it
// waits for the calls above it.
TEST(CallFramesWide, FramesAcrossSlotBlocksKeepTheirLocals) {
  EXPECT_EQ(Output(WideFrames() +
                   "Sub Initialize\n"
                   "  Print Wide(200)\n"
                   "  Print Wide(3)\n"
                   "End Sub\n"),
            "16482000\n4920\n");
}

// Frames as wide at the recursion limit: the error stops the run with the
// procedure and line that called past the limit; trapped, it leaves the
// slots free for calls as deep again.
TEST(CallFramesWide, RecursionLimitWithWideFrames) {
  const std::string source = WideFrames();
  const RunResult r = CompileAndRun(source +
                                    "Sub Initialize\n"
                                    "  Print Wide(1000)\n"
                                    "End Sub\n");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Out of stack space, error 28 in 'Wide' at line 44"), std::string::npos) << r.error;

  EXPECT_EQ(Output(source +
                   "Sub Initialize\n"
                   "  On Error GoTo full\n"
                   "  Print Wide(1000)\n"
                   "full:\n"
                   "  Print Err; \" \"; Erl\n"
                   "  Print Wide(200)\n"
                   "End Sub\n"),
            "28 48\n16482000\n");
}

// An error three calls down names the line it happened on, and the frames
// it unwinds give their slots back: the handler's own call runs as before.
TEST(CallFramesWide, ErrorsUnwindWithTheirLine) {
  const std::string deep =
      "Function Deep(ByVal n As Long) As Long\n"  // 1
      "  Dim x As Long\n"                         // 2
      "  x = n * 2\n"                             // 3
      "  If n = 0 Then\n"                         // 4
      "    Deep = 10 \\ n\n"                      // 5
      "  Else\n"                                  // 6
      "    Deep = Deep(n - 1) + x\n"              // 7
      "  End If\n"                                // 8
      "End Function\n";                           // 9
  const RunResult r = CompileAndRun(deep + "Sub Initialize\n  Print Deep(3)\nEnd Sub\n");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Division by zero, error 11 in 'Deep' at line 5"), std::string::npos) << r.error;

  EXPECT_EQ(Output(deep +
                   "Function Safe(ByVal n As Long) As Long\n"  // 10
                   "  On Error GoTo failed\n"                  // 11
                   "  Safe = Deep(n)\n"                        // 12
                   "  Exit Function\n"                         // 13
                   "failed:\n"                                 // 14
                   "  Safe = -Erl\n"                           // 15
                   "End Function\n"                            // 16
                   "Sub Initialize\n"
                   "  Print Safe(3); \" \"; Safe(3)\n"
                   "End Sub\n"),
            "-12 -12\n");
}

}  // namespace
}  // namespace quillet::testing
