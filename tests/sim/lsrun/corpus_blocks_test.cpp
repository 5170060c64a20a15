// Corpus programs for With blocks, Static variables and Next closing
// several loops, each with the output
// worked out by hand, run plain and instrumented.
#include <gtest/gtest.h>

#include <string>

#include "sim/lsrun/corpus_kit.h"

namespace quillet {
namespace {

using testing::Program;

const Program kPrograms[] = {
    {"WithSetsReadsAndCallsMembers",
     "Class Account\n"
     "  Public Owner As String\n"
     "  Public Balance As Currency\n"
     "  Sub Deposit(amount As Currency)\n"
     "    Balance = Balance + amount\n"
     "  End Sub\n"
     "  Function Describe() As String\n"
     "    Describe = Owner & \": \" & Balance\n"
     "  End Function\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim a As New Account\n"
     "  With a\n"
     "    .Owner = \"Ann\"\n"
     "    .Deposit 10.5\n"
     "    Call .Deposit(2)\n"
     "    Print .Describe()\n"
     "    If .Balance > 12 Then Print \"over twelve\" Else Print \"not yet\"\n"
     "  End With\n"
     "  Print a.Owner\n"
     "End Sub\n",
     "Ann: 12.5\nover twelve\nAnn\n"},
    // The inner With names a member of the outer one; End With lets go of
    // the object, so a temporary one dies there.
    {"NestedWithAndEndWithReleases",
     "Class Node\n"
     "  Public Name As String\n"
     "  Public NextNode As Node\n"
     "  Sub Delete\n"
     "    Print \"gone \" & Name\n"
     "  End Sub\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim head As New Node\n"
     "  head.Name = \"head\"\n"
     "  With head\n"
     "    Set .NextNode = New Node\n"
     "    With .NextNode\n"
     "      .Name = \"second\"\n"
     "      Print \"inner \" & .Name\n"
     "    End With\n"
     "    Print \"outer \" & .Name & \" -> \" & .NextNode.Name\n"
     "  End With\n"
     "  With New Node\n"
     "    .Name = \"temp\"\n"
     "    Print \"in block \" & .Name\n"
     "  End With\n"
     "  Print \"after block\"\n"
     "End Sub\n",
     "inner second\nouter head -> second\nin block temp\ngone temp\nafter block\ngone head\ngone second\n"},
    // With inside a loop and a procedure called from the block.
    {"WithInLoopsAndCalls",
     "Class Tally\n"
     "  Public Count As Integer\n"
     "  Public Last As String\n"
     "End Class\n"
     "Sub Note(t As Tally, ByVal s As String)\n"
     "  With t\n"
     "    .Count = .Count + 1\n"
     "    .Last = s\n"
     "  End With\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Dim t As New Tally, i As Integer\n"
     "  For i = 1 To 3\n"
     "    With t\n"
     "      Note t, \"item\" & i\n"
     "      If .Count = 2 Then Exit For\n"
     "    End With\n"
     "  Next\n"
     "  Print t.Count; \" \"; t.Last\n"
     "End Sub\n",
     "2 item2\n"},
    {"StaticKeepsValuesBetweenCalls",
     "Function NextId() As Long\n"
     "  Static last As Long\n"
     "  last = last + 1\n"
     "  NextId = last\n"
     "End Function\n"
     "Static Function Running(ByVal x As Integer) As Integer\n"
     "  Dim total As Integer\n"
     "  total = total + x\n"
     "  Running = total\n"
     "End Function\n"
     "Sub Tally\n"
     "  Static seen As Integer, names As String\n"
     "  seen = seen + 1\n"
     "  names = names & seen\n"
     "  Print names\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Print NextId(); NextId(); NextId()\n"
     "  Print Running(5); Running(10)\n"
     "  Call Tally : Call Tally : Call Tally\n"
     "End Sub\n",
     "123\n515\n1\n12\n123\n"},
    // Each procedure has its own Static of a shared name; a Static array
    // keeps its elements; a recursive call sees the same Static.
    {"StaticsArePerProcedure",
     "Sub A\n"
     "  Static n As Integer\n"
     "  n = n + 1\n"
     "  Print \"A\" & n;\n"
     "End Sub\n"
     "Sub B\n"
     "  Static n As Integer\n"
     "  n = n + 10\n"
     "  Print \" B\" & n;\n"
     "End Sub\n"
     "Sub Fill(ByVal k As Integer)\n"
     "  Static slots(1 To 3) As String, depth As Integer\n"
     "  depth = depth + 1\n"
     "  slots(k) = \"d\" & depth\n"
     "  If k < 3 Then Fill k + 1 Else Print slots(1); slots(2); slots(3)\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Call A : B : A : B\n"
     "  Print\n"
     "  Fill 1\n"
     "  Fill 3\n"
     "End Sub\n"
     "Sub Terminate\n"
     "  Print \"end\"\n"
     "End Sub\n",
     "A1 B10A2 B20\nd1d2d3\nd1d2d4\nend\n"},
    // One Next closes several loops, innermost first, also on one line.
    {"NextClosesSeveralLoops",
     "Sub Initialize\n"
     "  Dim i As Integer, j As Integer, k As Integer, n As Integer\n"
     "  For i = 1 To 3\n"
     "    For j = 1 To i\n"
     "      n = n + j\n"
     "  Next j, i\n"
     "  Print n\n"
     "  For i = 1 To 2 : For j = 1 To 2 : For k = 1 To 2\n"
     "    Print i; j; k; \" \";\n"
     "  Next k, j, i\n"
     "  Print\n"
     "End Sub\n",
     "10\n111 112 121 122 211 212 221 222 \n"},
};

class CorpusBlocksTest : public testing::CorpusFixture {};

TEST_P(CorpusBlocksTest, PrintsTheWorkedOutOutputPlainAndProfiled) { ExpectOutputPlainAndProfiled(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Programs, CorpusBlocksTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
