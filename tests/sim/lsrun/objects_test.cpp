// Objects: constructors with arguments, members, methods, and destructors
// that run when the last reference goes, including object locals of a
// procedure that ends normally, by Exit or through an error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

using testing::Output;

const char* kCounter =
    "Class Counter\n"
    "  count As Integer\n"
    "  label As String\n"
    "  Sub New(ByVal start As Integer, ByVal n As String)\n"
    "    count = start\n"
    "    label = n\n"
    "    Print \"new \" & label\n"
    "  End Sub\n"
    "  Sub Delete\n"
    "    Print \"delete \" & label\n"
    "  End Sub\n"
    "  Function Bump() As Integer\n"
    "    count = count + 1\n"
    "    Bump = count\n"
    "  End Function\n"
    "  Function Twice() As Integer\n"
    "    Twice = Bump() + Me.Bump()\n"
    "  End Function\n"
    "End Class\n";

TEST(RunObjects, ConstructorMembersMethodsAndReplacedReferences) {
  EXPECT_EQ(Output(std::string(kCounter) +
                   "Sub Initialize\n"
                   "  Dim a As Counter, b As Counter\n"
                   "  Set a = New Counter(5, \"a\")\n"
                   "  Print a.Bump(); \" \"; a.Bump(); \" \"; a.count; \" \"; a.Twice()\n"
                   "  Set b = a\n"
                   "  Set a = New Counter(0, \"b\")\n"
                   "  Print \"still here\"\n"
                   "  Set b = Nothing\n"
                   "  a.label = \"renamed\"\n"
                   "  Print \"end of initialize\"\n"
                   "End Sub\n"),
            "new a\n6 7 7 17\nnew b\nstill here\ndelete a\nend of initialize\ndelete renamed\n");
}

TEST(RunObjects, LocalsAreDestroyedHoweverTheProcedureEnds) {
  EXPECT_EQ(Output(std::string(kCounter) +
                   "Sub UseLocal(ByVal how As Integer)\n"
                   "  Dim c As New Counter(1, \"local\" & how)\n"
                   "  If how = 1 Then Exit Sub\n"
                   "  If how = 2 Then Print 1 \\ 0\n"
                   "  Print \"body end\"\n"
                   "End Sub\n"
                   "Sub Initialize\n"
                   "  On Error GoTo handler\n"
                   "  UseLocal 0\n"
                   "  UseLocal 1\n"
                   "  UseLocal 2\n"
                   "  Print \"done\"\n"
                   "  Exit Sub\n"
                   "handler:\n"
                   "  Print \"handled\"\n"
                   "  Resume Next\n"
                   "End Sub\n"),
            "new local0\nbody end\ndelete local0\n"
            "new local1\ndelete local1\n"
            "new local2\ndelete local2\nhandled\n"
            "done\n");
}

// A node that can hold another, or itself, and says when it goes.
const char* kNode =
    "Class Node\n"
    "  other As Node\n"
    "  tag As String\n"
    "  Sub New(ByVal t As String)\n"
    "    tag = t\n"
    "  End Sub\n"
    "  Sub Delete\n"
    "    Print \"delete \" & tag\n"
    "  End Sub\n"
    "End Class\n";

TEST(RunObjects, ModuleObjectsAndCyclesAreDeletedWhenTheModuleUnloads) {
  EXPECT_EQ(Output(std::string(kNode) +
                   "Dim keep As Node\n"
                   "Sub Initialize\n"
                   "  Dim x As Node, y As Node\n"
                   "  Set keep = New Node(\"kept\")\n"
                   "  Set x = New Node(\"x\")\n"
                   "  Set y = New Node(\"y\")\n"
                   "  Set x.other = y\n"
                   "  Set y.other = x\n"
                   "End Sub\n"
                   "Sub Terminate\n"
                   "  Print \"terminate \" & keep.tag\n"
                   "End Sub\n"),
            "terminate kept\ndelete kept\ndelete x\ndelete y\n");
}

// The memory and slot of a deleted object serve the next New: the objects
// left for the unload are still deleted in the order they were made.
TEST(RunObjects, UnloadDeletesLeftoversInCreationOrderWhenMemoryIsReused) {
  EXPECT_EQ(Output(std::string(kNode) +
                   "Dim loose As Node\n"
                   "Sub Cycle(ByVal t As String)\n"
                   "  Dim n As New Node(t)\n"
                   "  Set n.other = n\n"
                   "End Sub\n"
                   "Sub Initialize\n"
                   "  Cycle \"a\"\n"
                   "  Set loose = New Node(\"b\")\n"
                   "  Cycle \"c\"\n"
                   "  Set loose = Nothing\n"
                   "  Cycle \"d\"\n"
                   "  Cycle \"e\"\n"
                   "End Sub\n"),
            "delete b\ndelete a\ndelete c\ndelete d\ndelete e\n");
}

// `Set x = New C(...)` with plain arguments runs as one step that counts
// every instruction it stands for, and a step limit inside it stops the run
// on the same instruction as the instructions run one by one would.
TEST(RunObjects, FusedNewCountsEveryInstruction) {
  auto source = [](const std::string& first) {
    return "Class Pair\n"
           "  a As Integer\n"
           "  b As Long\n"
           "  Sub New(ByVal x As Integer, ByVal y As Long)\n"
           "    a = x\n"
           "    b = y\n"
           "    Print \"new \"; y\n"
           "  End Sub\n"
           "End Class\n"
           "Sub Initialize\n"
           "  Dim p As Pair, i As Integer, s As Long\n"
           "  For i = 1 To 5\n"
           "    Set p = New Pair(" + first + ", i)\n"
           "    s = s + p.a + p.b\n"
           "  Next\n"
           "  Print s\n"
           "End Sub\n";
  };
  const std::vector<uint8_t> plain = testing::Compile(source("3"));
  const std::vector<uint8_t> computed = testing::Compile(source("3 + 0"));
  RunResult a = RunModule(plain, RunOptions{});
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_EQ(a.output, "new 1\nnew 2\nnew 3\nnew 4\nnew 5\n30\n");
  RunResult b = RunModule(computed, RunOptions{});
  ASSERT_TRUE(b.ok) << b.error;
  EXPECT_EQ(b.output, a.output);
  EXPECT_EQ(b.steps, a.steps + 10);  // the addition's two instructions, five times
  // Each line printed shows up alone at some limit: none is skipped.
  EXPECT_EQ(testing::OutputsAtEveryStepLimit(plain, a).size(), 7u);
}

TEST(RunObjects, NothingDereferencedIsATrappableError) {
  RunResult r = testing::CompileAndRun(std::string(kCounter) +
                                       "Sub Initialize\n"
                                       "  Dim a As Counter\n"
                                       "  Print a.Bump()\n"
                                       "End Sub\n");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Object variable not set"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("in 'Initialize' at line 22"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace quillet
