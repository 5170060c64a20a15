// Members of instances as New and methods store them: Variant members taking
// scalars as they are, members of every kind side by side, stores into an
// object other than Me, instances whose memory serves a later New, errors
// inside New and Delete, and recursion that makes an object each call.
#include <gtest/gtest.h>

#include <string>

#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

using testing::CompileAndRun;
using testing::Output;

TEST(RunInstanceMembers, VariantMembersKeepTheTypeOfWhatIsStored) {
  // The stores run as one step each (member reference, parameter, assign):
  // a scalar goes into a Variant with its own type, over a scalar, a string
  // or an object.
  EXPECT_EQ(Output("Class Box\n"
                   "  v1 As Variant\n  v2 As Variant\n  v3 As Variant\n  v4 As Variant\n  v5 As Variant\n"
                   "  Sub New(ByVal a As Integer, ByVal b As Long, ByVal c As Double, ByVal d As Boolean, "
                   "ByVal e As String)\n"
                   "    v1 = a\n    v2 = b\n    v3 = c\n    v4 = d\n    v5 = e\n"
                   "  End Sub\n"
                   "  Sub Put(ByVal a As Integer)\n"
                   "    v5 = a\n"
                   "  End Sub\n"
                   "  Sub Show\n"
                   "    Print TypeName(v1); \" \"; TypeName(v2); \" \"; TypeName(v3); \" \"; TypeName(v4); \" \"; "
                   "TypeName(v5)\n"
                   "    Print v1; \" \"; v2; \" \"; v3; \" \"; v4; \" \"; v5\n"
                   "  End Sub\n"
                   "End Class\n"
                   "Sub Initialize\n"
                   "  Dim b As New Box(7, 70000, 2.5, True, \"s\")\n"
                   "  b.Show\n"
                   "  b.Put 3\n"
                   "  b.Show\n"
                   "  Set b.v5 = b\n"
                   "  Print TypeName(b.v5)\n"
                   "  b.Put 4\n"
                   "  b.Show\n"
                   "End Sub\n"),
            "INTEGER LONG DOUBLE BOOLEAN STRING\n7 70000 2.5 True s\n"
            "INTEGER LONG DOUBLE BOOLEAN INTEGER\n7 70000 2.5 True 3\n"
            "BOX\n"
            "INTEGER LONG DOUBLE BOOLEAN INTEGER\n7 70000 2.5 True 4\n");
}

TEST(RunInstanceMembers, MembersOfEveryKindSideBySide) {
  // Scalars stored next to a string, an object and a Variant holding a
  // string; the inner objects go with their holders.
  EXPECT_EQ(Output("Class Inner\n"
                   "  tag As String\n"
                   "  Sub Delete\n"
                   "    Print \"delete \" & tag\n"
                   "  End Sub\n"
                   "End Class\n"
                   "Class Mixed\n"
                   "  n As Integer\n  s As String\n  o As Inner\n  v As Variant\n  d As Double\n"
                   "  Sub New(ByVal k As Integer, ByVal t As String)\n"
                   "    n = k\n    s = t\n"
                   "    Set o = New Inner\n"
                   "    o.tag = t\n"
                   "    v = t & k\n    d = k\n"
                   "  End Sub\n"
                   "End Class\n"
                   "Sub Initialize\n"
                   "  Dim a As New Mixed(1, \"a\")\n"
                   "  Dim b As New Mixed(2, \"b\")\n"
                   "  b.n = a.n\n"
                   "  b.v = a.d\n"
                   "  Print a.n; \" \"; b.n; \" \"; a.s; b.s; \" \"; a.v; \" \"; b.v; \" \"; a.d; \" \"; b.d; \" \"; "
                   "a.o.tag; b.o.tag\n"
                   "  Set a = Nothing\n"
                   "  Print \"after a\"\n"
                   "End Sub\n"),
            "1 1 ab a1 1 1 2 ab\ndelete a\nafter a\ndelete b\n");
}

TEST(RunInstanceMembers, StoresIntoAnObjectOtherThanMe) {
  EXPECT_EQ(Output("Class Pt\n"
                   "  x As Integer\n  y As Variant\n"
                   "  Sub CopyTo(other As Pt)\n"
                   "    other.x = x\n"
                   "    other.y = y\n"
                   "    x = 0\n"
                   "  End Sub\n"
                   "End Class\n"
                   "Sub Initialize\n"
                   "  Dim p As New Pt, q As New Pt, none As Pt\n"
                   "  p.x = 5\n"
                   "  p.y = 6\n"
                   "  p.CopyTo q\n"
                   "  Print p.x; q.x; q.y\n"
                   "  On Error Resume Next\n"
                   "  none.x = 1\n"
                   "  Print Err\n"
                   "End Sub\n"),
            "056\n91\n");
}

TEST(RunInstanceMembers, ReusedInstancesStartFromTheClassDefaults) {
  // Each New after the first takes the memory of the one deleted before:
  // its members must read as new, not as the last instance left them.
  EXPECT_EQ(Output("Class Inner\n"
                   "End Class\n"
                   "Class Acc\n"
                   "  n As Integer\n  v As Variant\n  s As String\n  o As Inner\n"
                   "  Sub Fill(ByVal k As Integer)\n"
                   "    Print n; \" \"; TypeName(v); \" [\"; s; \"] \"; o Is Nothing\n"
                   "    n = k\n    v = k\n    s = \"x\" & k\n"
                   "    Set o = New Inner\n"
                   "  End Sub\n"
                   "End Class\n"
                   "Sub Once(ByVal k As Integer)\n"
                   "  Dim a As New Acc\n"
                   "  a.Fill k\n"
                   "End Sub\n"
                   "Sub Initialize\n"
                   "  Once 1\n  Once 2\n  Once 3\n"
                   "End Sub\n"),
            "0 EMPTY [] True\n0 EMPTY [] True\n0 EMPTY [] True\n");
}

const char* const kBadClass =
    "Class Bad\n"
    "  m As Integer\n"
    "  Sub New(ByVal d As Integer)\n"
    "    m = 1\n"
    "    m = 10 \\ d\n"
    "  End Sub\n"
    "  Sub Delete\n"
    "    Print \"delete\"; m\n"
    "    m = 5 \\ (m - 2)\n"
    "  End Sub\n"
    "End Class\n";

TEST(RunInstanceMembers, ErrorsInsideNewAndDeleteNameTheirLine) {
  // Line 5 fails in New: the object is never stored, and its Delete still
  // runs as it goes.
  const RunResult inNew = CompileAndRun(std::string(kBadClass) +
                                        "Sub Initialize\n"
                                        "  Dim b As New Bad(0)\n"
                                        "End Sub\n");
  EXPECT_FALSE(inNew.ok);
  EXPECT_EQ(inNew.output, "delete1\n");
  EXPECT_NE(inNew.error.find("error 11 in 'Bad::New' at line 5"), std::string::npos) << inNew.error;

  // Line 9 fails in Delete (m is 2) as the object's scope ends: the error
  // ends the run before the caller goes on.
  const RunResult inDelete = CompileAndRun(std::string(kBadClass) +
                                           "Sub Use\n"
                                           "  Dim b As New Bad(5)\n"
                                           "  Print \"made\"\n"
                                           "End Sub\n"
                                           "Sub Initialize\n"
                                           "  Use\n"
                                           "  Print \"not reached\"\n"
                                           "End Sub\n");
  EXPECT_FALSE(inDelete.ok);
  EXPECT_EQ(inDelete.output, "made\ndelete2\n");
  EXPECT_NE(inDelete.error.find("error 11 in 'Bad::Delete' at line 9"), std::string::npos) << inDelete.error;
}

TEST(RunInstanceMembers, DeepRecursionThroughNew) {
  // Every level makes an object whose New stores its argument; the objects
  // go in reverse order as the levels return.
  const std::string source =
      "Class Level\n"
      "  k As Long\n"
      "  Sub New(ByVal n As Long)\n"
      "    k = n\n"
      "  End Sub\n"
      "  Sub Delete\n"
      "    If k Mod 100 = 0 Then Print \"delete\"; k\n"
      "  End Sub\n"
      "End Class\n"
      "Function Down(ByVal n As Long) As Long\n"
      "  Dim l As New Level(n)\n"
      "  If n = 0 Then\n"
      "    Down = 0\n"
      "  Else\n"
      "    Down = Down(n - 1) + l.k\n"
      "  End If\n"
      "End Function\n"
      "Sub Initialize\n"
      "  Print Down(200)\n"
      "End Sub\n";
  EXPECT_EQ(Output(source), "delete0\ndelete100\ndelete200\n20100\n");
  // Two hundred levels of calls pass a limit of a hundred.
  RunOptions shallow;
  shallow.maxCallDepth = 100;
  const RunResult r = CompileAndRun(source, shallow);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Out of stack space, error 28"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace quillet
