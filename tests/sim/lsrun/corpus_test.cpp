// Agent-style programs, each with the output worked out by hand: compiled,
// run, then instrumented with entry and line timing and run again, which
// must print exactly the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/lsrun/corpus_kit.h"

namespace quillet {
namespace {

using testing::Program;

const Program kPrograms[] = {
    {"ByRefSwap",
     "Sub Swap(a, b)\n"
     "  Dim t\n"
     "  t = a : a = b : b = t\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  x = 1 : y = 2\n"
     "  Swap x, y\n"
     "  Print x; y\n"
     "End Sub\n",
     "21\n"},
    {"ByValLeavesCaller",
     "Sub Bump(ByVal n As Integer, m As Integer)\n"
     "  n = n + 10\n"
     "  m = m + 10\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Dim a As Integer, b As Integer\n"
     "  a = 1 : b = 2\n"
     "  Call Bump(a, b)\n"
     "  Print a & \" \" & b\n"
     "  Bump a + 0, b\n"
     "  Print a & \" \" & b\n"
     "End Sub\n",
     "1 12\n1 22\n"},
    {"ByRefThroughTwoCalls",
     "Sub Inner(v As Long)\n  v = v * 3\nEnd Sub\n"
     "Sub Outer(v As Long)\n  Inner v\n  v = v + 1\nEnd Sub\n"
     "Sub Initialize\n  Dim n As Long\n  n = 5\n  Outer n\n  Print n\nEnd Sub\n",
     "16\n"},
    {"ArrayParameterAndElements",
     "Function Total(items() As Integer) As Long\n"
     "  Dim i As Integer\n"
     "  For i = LBound(items) To UBound(items)\n"
     "    Total = Total + items(i)\n"
     "  Next\n"
     "End Function\n"
     "Sub Twice(v As Integer)\n  v = v * 2\nEnd Sub\n"
     "Sub Initialize\n"
     "  Dim a(1 To 4) As Integer\n"
     "  For i = 1 To 4 : a(i) = i : Next\n"
     "  Twice a(3)\n"
     "  Print Total(a)\n"
     "End Sub\n",
     "13\n"},
    {"ObjectParameter",
     "Class Counter\n  Public n As Integer\nEnd Class\n"
     "Sub Touch(c As Counter)\n  c.n = c.n + 1\nEnd Sub\n"
     "Sub Replace(c As Counter)\n  Set c = New Counter\n  c.n = 100\nEnd Sub\n"
     "Sub Initialize\n"
     "  Dim c As New Counter\n"
     "  Touch c : Touch c\n"
     "  Print c.n\n"
     "  Replace c\n"
     "  Print c.n\n"
     "End Sub\n",
     "2\n100\n"},
    {"ErrHandlerReportsErrAndErl",
     "Sub Initialize\n"
     "  On Error GoTo oops\n"
     "  Dim z As Integer\n"
     "  x = 10 / z\n"
     "  Print \"not here\"\n"
     "  Exit Sub\n"
     "oops:\n"
     "  Print \"Error \" & Err & \": \" & Error$ & \" at line \" & Erl\n"
     "End Sub\n",
     "Error 11: Division by zero at line 4\n"},
    {"ErrWithoutOptionDeclareIsTheBuiltin",
     "Sub Initialize\n"
     "  On Error Resume Next\n"
     "  Dim a(2) As Integer\n"
     "  a(5) = 1\n"
     "  If Err <> 0 Then Print \"caught \" & Err & \" \" & Error\n"
     "  Err = 0\n"
     "  Print \"now \" & Err\n"
     "End Sub\n",
     "caught 9 Subscript out of range\nnow 0\n"},
    {"ErrorStatementAndResumeNext",
     "Sub Check(v As Integer)\n"
     "  If v < 0 Then Error 1000, \"negative value\"\n"
     "  Print \"ok \" & v\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  On Error GoTo handler\n"
     "  Check 1\n"
     "  Check -1\n"
     "  Check 2\n"
     "  Exit Sub\n"
     "handler:\n"
     "  Print \"error \" & Err & \" \" & Error$\n"
     "  Resume Next\n"
     "End Sub\n",
     "ok 1\nerror 1000 negative value\nok 2\n"},
    {"ResumeRetriesTheStatement",
     "Sub Initialize\n"
     "  Dim d As Integer, tries As Integer\n"
     "  On Error GoTo fix\n"
     "  Print 12 \\ d\n"
     "  Print \"tries \" & tries\n"
     "  Exit Sub\n"
     "fix:\n"
     "  tries = tries + 1\n"
     "  d = 4\n"
     "  Resume\n"
     "End Sub\n",
     "3\ntries 1\n"},
    {"OnErrorNumberGoTo",
     "Sub Initialize\n"
     "  Dim z As Integer\n"
     "  On Error GoTo other\n"
     "  On Error 11 GoTo byZero\n"
     "  x = 1 / z\n"
     "back:\n"
     "  Error 5\n"
     "  Print \"end\"\n"
     "  Exit Sub\n"
     "byZero:\n"
     "  Print \"division\"\n"
     "  Resume back\n"
     "other:\n"
     "  Print \"other \" & Err\n"
     "  Resume Next\n"
     "End Sub\n",
     "division\nother 5\nend\n"},
    {"UntrappedUserErrorInCallee",
     "Function Parse(s As String) As Integer\n"
     "  If s = \"\" Then Error 2000\n"
     "  Parse = CInt(s)\n"
     "End Function\n"
     "Sub Initialize\n"
     "  On Error GoTo failed\n"
     "  Print Parse(\"42\")\n"
     "  Print Parse(\"\")\n"
     "  Exit Sub\n"
     "failed:\n"
     "  Print Err & \" \" & Error$ & \" line \" & Erl\n"
     "End Sub\n",
     "42\n2000 User-defined error line 8\n"},
    {"DoublesAndLiterals",
     "Sub Initialize\n"
     "  Dim d As Double, s As Single\n"
     "  d = 1.5 * 4\n"
     "  Print d\n"
     "  d = 2.5E3 + .25\n"
     "  Print d\n"
     "  s = 1 / 3\n"
     "  Print s\n"
     "  Print 7 / 2; \" \"; 1E-2\n"
     "  Print &O17; \" \"; &HFF; \" \"; 3000000000\n"
     "End Sub\n",
     "6\n2500.25\n.3333333\n3.5 .01\n15 255 3000000000\n"},
    {"CurrencyIsExact",
     "Sub Initialize\n"
     "  Dim total As Currency, i As Integer\n"
     "  For i = 1 To 10\n"
     "    total = total + 0.1\n"
     "  Next\n"
     "  Print total\n"
     "  Print total = 1\n"
     "  Print CCur(2.34567) * 3\n"
     "  Print TypeName(total); \" \"; TypeName(1@)\n"
     "End Sub\n",
     "1\nTrue\n7.0371\nCURRENCY CURRENCY\n"},
    {"SuffixesTypeVariables",
     "Sub Initialize\n"
     "  count% = 7\n"
     "  big& = 100000\n"
     "  name$ = \"abc\"\n"
     "  ratio# = 0.5\n"
     "  Print TypeName(count%); \" \"; TypeName(big&); \" \"; TypeName(name$); \" \"; TypeName(ratio#)\n"
     "  count% = 2.5\n"
     "  Print count%\n"
     "End Sub\n",
     "INTEGER LONG STRING DOUBLE\n2\n"},
    {"OverflowIsTrappable",
     "Sub Initialize\n"
     "  Dim i As Integer, b As Byte\n"
     "  On Error Resume Next\n"
     "  i = 40000\n"
     "  Print Err; \" \"; i\n"
     "  Err = 0\n"
     "  b = 256\n"
     "  Print Err; \" \"; b\n"
     "  Err = 0\n"
     "  b = 255\n"
     "  Print Err; \" \"; b\n"
     "End Sub\n",
     "6 0\n6 0\n0 255\n"},
    {"BooleansPrintAsWords",
     "Sub Initialize\n"
     "  Dim ok As Boolean\n"
     "  ok = 5 > 3\n"
     "  Print ok; \" \"; Not ok; \" \"; CBool(0); \" \"; CInt(ok)\n"
     "End Sub\n",
     "True False False -1\n"},
    {"StringFunctions",
     "Sub Initialize\n"
     "  s$ = \"  Hello, World  \"\n"
     "  t = Trim(s$)\n"
     "  Print \"[\" & t & \"] \" & Len(t)\n"
     "  Print Left$(t, 5) & \"|\" & Right(t, 5) & \"|\" & Mid(t, 8, 3) & \"|\" & Mid$(t, 8)\n"
     "  Print InStr(t, \"o\"); \" \"; InStr(6, t, \"o\"); \" \"; InStrRev(t, \"o\"); \" \"; InStr(t, \"z\")\n"
     "  Print UCase(t) & \" \" & LCase$(\"ABC\")\n"
     "  Print Replace(\"a-b-c\", \"-\", \"+\") & \" \" & StrConv(\"hello world\", 3)\n"
     "  Print \"[\" & LTrim(\"  x \") & \"][\" & RTrim(\" x  \") & \"]\"\n"
     "End Sub\n",
     "[Hello, World] 12\nHello|World|Wor|World\n5 9 9 0\nHELLO, WORLD abc\na+b+c Hello World\n[x ][ x]\n"},
    {"SplitJoinAndCompare",
     "Sub Initialize\n"
     "  parts = Split(\"red,green,blue\", \",\")\n"
     "  Print UBound(parts) - LBound(parts) + 1\n"
     "  Print Join(parts, \"/\")\n"
     "  ForAll p In parts\n"
     "    Print p;\n"
     "  End ForAll\n"
     "  Print\n"
     "  Print StrComp(\"abc\", \"ABC\"); \" \"; StrComp(\"abc\", \"ABC\", 1); \" \"; StrComp(\"a\", \"b\")\n"
     "  Print \"file.txt\" Like \"*.txt\"; \" \"; \"A1\" Like \"[A-C]#\"; \" \"; \"x\" Like \"[!x]\"\n"
     "End Sub\n",
     "3\nred/green/blue\nredgreenblue\n1 0 -1\nTrue True False\n"},
    {"CharactersAndPadding",
     "Sub Initialize\n"
     "  Print Asc(\"A\"); \" \"; Chr(66); Chr$(67)\n"
     "  Print \"[\" & Space(3) & \"]\" & String(4, \"*\") & String$(2, 45)\n"
     "  Print FullTrim(\"  a   b  c \") & \"|\"\n"
     "  Print Hex(255); \" \"; Oct(8); \" \"; Hex(-1)\n"
     "End Sub\n",
     "65 BC\n[   ]****--\na b c|\nFF 10 FFFF\n"},
    {"ConversionsAndVal",
     "Sub Initialize\n"
     "  Print CInt(\"12\") + 1; \" \"; CLng(2.5); \" \"; CLng(3.5); \" \"; CStr(7) & \"x\"\n"
     "  Print Val(\"  42abc\"); \" \"; Val(\"x\"); \" \"; Val(\"3.5e1\")\n"
     "  Print \"[\" & Str(5) & \"][\" & Str(-5) & \"]\"\n"
     "  Print CDbl(\"1.25\") * 2; \" \"; CSng(0.1)\n"
     "  Print IsNumeric(\"12.5\"); \" \"; IsNumeric(\"abc\"); \" \"; IsNumeric(3)\n"
     "End Sub\n",
     "13 2 4 7x\n42 0 35\n[ 5][-5]\n2.5 .1\nTrue False True\n"},
    {"FormatNumbers",
     "Sub Initialize\n"
     "  Print Format(3.14159, \"0.00\")\n"
     "  Print Format(1234567.891, \"#,##0.00\")\n"
     "  Print Format(0.256, \"0.0%\")\n"
     "  Print Format(42, \"00000\")\n"
     "  Print Format(5, \"Fixed\"); \" \"; Format(1234.5, \"Standard\")\n"
     "End Sub\n",
     "3.14\n1,234,567.89\n25.6%\n00042\n5.00 1,234.50\n"},
    {"MathFunctions",
     "Sub Initialize\n"
     "  Print Abs(-3); \" \"; Int(-2.5); \" \"; Fix(-2.5); \" \"; Int(2.7)\n"
     "  Print Round(2.5); \" \"; Round(3.5); \" \"; Round(1.2345, 2)\n"
     "  Print Sqr(16); \" \"; Sgn(-7); \" \"; Sgn(0); \" \"; Exp(0); \" \"; Log(1)\n"
     "  Print 2 ^ 10; \" \"; 17 Mod 5; \" \"; 17 \\ 5\n"
     "End Sub\n",
     "3 -3 -2 2\n2 4 1.23\n4 -1 0 1 0\n1024 2 3\n"},
    {"RandomNumbersStayInRange",
     "Sub Initialize\n"
     "  Randomize 7\n"
     "  Dim i As Integer, bad As Integer\n"
     "  For i = 1 To 200\n"
     "    r = Rnd()\n"
     "    If r < 0 Or r >= 1 Then bad = bad + 1\n"
     "  Next\n"
     "  Print \"out of range: \" & bad\n"
     "End Sub\n",
     "out of range: 0\n"},
    {"DatesFromNumbers",
     "Sub Initialize\n"
     "  d = DateNumber(2024, 2, 28) + 1\n"
     "  Print Year(d); \" \"; Month(d); \" \"; Day(d); \" \"; Weekday(d)\n"
     "  Print Format(d, \"yyyy-mm-dd\")\n"
     "  t = TimeNumber(13, 5, 9)\n"
     "  Print Hour(t); \" \"; Minute(t); \" \"; Second(t); \" \"; Format(t, \"hh:nn:ss\")\n"
     "  Print DateNumber(2024, 13, 1) = DateNumber(2025, 1, 1)\n"
     "  Print CDat(\"03/15/2025\") - CDat(\"03/01/2025\")\n"
     "  Print TypeName(d); \" \"; IsDate(\"2025-03-15\"); \" \"; IsDate(\"soon\")\n"
     "End Sub\n",
     "2024 2 29 5\n2024-02-29\n13 5 9 13:05:09\nTrue\n14\nDATE True False\n"},
    {"ClockBuiltinsWithoutOptionDeclare",
     "Sub Initialize\n"
     "  start = Timer\n"
     "  stamp = Now\n"
     "  dt = Date\n"
     "  Print TypeName(stamp); \" \"; TypeName(dt); \" \"; TypeName(start)\n"
     "  Print Year(stamp) >= 2024; \" \"; start >= 0 And start < 86400\n"
     "  Print Int(CDbl(stamp)) = CDbl(dt); \" \"; Today = dt\n"
     "End Sub\n",
     "DATE DATE SINGLE\nTrue True\nTrue True\n"},
    {"InspectionFunctions",
     "Class Node\n  Public v As Integer\nEnd Class\n"
     "Sub Initialize\n"
     "  Dim e, n As Node, a(3) As String\n"
     "  Print IsEmpty(e); \" \"; IsObject(n); \" \"; IsArray(a); \" \"; IsArray(e)\n"
     "  Set n = New Node\n"
     "  Print TypeName(n); \" \"; TypeName(a); \" \"; n Is Nothing\n"
     "  Print DataType(1); \" \"; DataType(\"s\"); \" \"; DataType(1.5); \" \"; DataType(e)\n"
     "  Print IsNull(ArrayGetIndex(a, \"x\")); \" \"; IsNull(e)\n"
     "End Sub\n",
     "True True True False\nNODE STRING( ) False\n2 8 5 0\nTrue False\n"},
    {"ArrayAppendAndIndex",
     "Sub Initialize\n"
     "  a = Split(\"a b\")\n"
     "  b = ArrayAppend(a, \"c\")\n"
     "  Print Join(b, \",\"); \" \"; UBound(b)\n"
     "  Print ArrayGetIndex(b, \"c\"); \" \"; ArrayGetIndex(b, \"B\", 1)\n"
     "End Sub\n",
     "a,b,c 2\n2 1\n"},
    {"PrintWithCommas",
     "Sub Initialize\n"
     "  Print \"a\", \"b\"\n"
     "  Print 1, 22, 333\n"
     "End Sub\n",
     "a             b\n1             22            333\n"},
    {"MsgBoxGoesToTheConsole",
     "Sub Initialize\n"
     "  MsgBox \"Done: \" & 3\n"
     "  r = MsgBox(\"Again\", 0, \"Title\")\n"
     "  Print r\n"
     "End Sub\n",
     "Done: 3\nAgain\n1\n"},
    {"EnvironReadsTheProcessEnvironment",
     "Sub Initialize\n"
     "  Print Len(Environ(\"QUILLET_CORPUS_UNSET_VARIABLE\")); \" \"; Len(Environ(\"PATH\")) > 0\n"
     "End Sub\n",
     "0 True\n"},
    {"MixedNumericTypes",
     "Sub Initialize\n"
     "  Dim i As Integer, l As Long, d As Double\n"
     "  i = 300 : l = 70000 : d = 0.5\n"
     "  Print TypeName(i * 2); \" \"; TypeName(i + l); \" \"; TypeName(l * d); \" \"; TypeName(i / 3)\n"
     "  Print i * 2; \" \"; l * d\n"
     "End Sub\n",
     "INTEGER LONG DOUBLE DOUBLE\n600 35000\n"},
    {"SelectCaseRangesAndTests",
     "Function Grade(score As Integer) As String\n"
     "  Select Case score\n"
     "  Case Is >= 90\n"
     "    Grade = \"A\"\n"
     "  Case 80 To 89\n"
     "    Grade = \"B\"\n"
     "  Case 70 To 79, 65\n"
     "    Grade = \"C\"\n"
     "  Case Else\n"
     "    Grade = \"F\"\n"
     "  End Select\n"
     "End Function\n"
     "Sub Initialize\n"
     "  Print Grade(95); Grade(85); Grade(72); Grade(65); Grade(66); Grade(10)\n"
     "End Sub\n",
     "ABCCFF\n"},
    {"ConstantsAndEnd",
     "Const GREETING = \"Hi\"\n"
     "Const LIMIT = 2 * 5\n"
     "Sub Initialize\n"
     "  Const STEP_SIZE = 3\n"
     "  Dim i As Integer\n"
     "  For i = 1 To LIMIT Step STEP_SIZE\n"
     "    Print GREETING & \" \" & i\n"
     "  Next\n"
     "  End\n"
     "  Print \"never\"\n"
     "End Sub\n",
     "Hi 1\nHi 4\nHi 7\nHi 10\n"},
    {"DynamicArrays",
     "Sub Fill(items() As String, ByVal n As Integer)\n"
     "  ReDim items(1 To n)\n"
     "  For i = 1 To n\n"
     "    items(i) = \"v\" & i\n"
     "  Next\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Dim names() As String\n"
     "  On Error Resume Next\n"
     "  n = UBound(names)\n"
     "  Print Err\n"
     "  On Error GoTo 0\n"
     "  Fill names, 3\n"
     "  Print LBound(names); \" \"; UBound(names); \" \"; Join(names, \",\")\n"
     "  ReDim Preserve names(1 To 4)\n"
     "  names(4) = \"w\"\n"
     "  Print Join(names, \",\")\n"
     "  ReDim names(2)\n"
     "  Print UBound(names); \" [\"; names(0); \"]\"\n"
     "  Erase names\n"
     "  Print IsArray(names)\n"
     "  Dim fixed(2) As Integer\n"
     "  fixed(1) = 5\n"
     "  Erase fixed\n"
     "  Print fixed(1); \" \"; UBound(fixed)\n"
     "End Sub\n",
     "9\n1 3 v1,v2,v3\nv1,v2,v3,w\n2 []\nTrue\n0 2\n"},
    {"ArraysOfObjectsAndOptionBase",
     "Option Base 1\n"
     "Class Item\n"
     "  Public label As String\n"
     "  Sub New(ByVal l As String)\n"
     "    label = l\n"
     "  End Sub\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim items(3) As Item\n"
     "  For i = LBound(items) To UBound(items)\n"
     "    Set items(i) = New Item(\"n\" & i)\n"
     "  Next\n"
     "  Print LBound(items); \" \"; items(2).label; \" \"; items(1) Is Nothing\n"
     "  Dim more() As Item\n"
     "  ReDim more(2)\n"
     "  Set more(1) = items(3)\n"
     "  Print LBound(more); \" \"; more(1).label; \" \"; more(2) Is Nothing\n"
     "End Sub\n",
     "1 n2 False\n1 n3 True\n"},
    {"ListsByTag",
     "Sub Initialize\n"
     "  Dim stock List As Integer\n"
     "  stock(\"apples\") = 3\n"
     "  stock(\"pears\") = 5\n"
     "  stock(\"plums\") = 1\n"
     "  stock(\"apples\") = stock(\"apples\") + 4\n"
     "  ForAll n In stock\n"
     "    Print ListTag(n) & \"=\" & n\n"
     "    n = n * 10\n"
     "  End ForAll\n"
     "  Print IsElement(stock(\"pears\")); \" \"; IsElement(stock(\"kiwis\"))\n"
     "  Erase stock(\"pears\")\n"
     "  Print IsElement(stock(\"pears\")); \" \"; stock(\"apples\")\n"
     "  On Error Resume Next\n"
     "  x = stock(\"kiwis\")\n"
     "  Print Err\n"
     "  Erase stock\n"
     "  Print IsElement(stock(\"apples\"))\n"
     "End Sub\n",
     "apples=7\npears=5\nplums=1\nTrue False\nFalse 70\n120\nFalse\n"},
    {"ErasingInsideForAll",
     "Sub Initialize\n"
     "  Dim seen List As String\n"
     "  seen(\"a\") = \"1\" : seen(\"b\") = \"2\" : seen(\"c\") = \"3\"\n"
     "  ForAll v In seen\n"
     "    If ListTag(v) = \"b\" Then\n"
     "      Erase seen(\"b\")\n"
     "      Print \"erased, still \" & v\n"
     "    Else\n"
     "      Print v\n"
     "    End If\n"
     "  End ForAll\n"
     "  ForAll v2 In seen\n"
     "    Print ListTag(v2);\n"
     "  End ForAll\n"
     "  Print\n"
     "End Sub\n",
     "1\nerased, still 2\nac\n"},
};

class CorpusTest : public testing::CorpusFixture {};

TEST_P(CorpusTest, PrintsTheWorkedOutOutputPlainAndProfiled) { ExpectOutputPlainAndProfiled(GetParam()); }

// Recursion without end: the profiled run stops with the same error at the
// same line, and no more than the entry code's one call short of the plain
// run's depth.
TEST_F(CorpusTest, DeepRecursionStopsAtTheSameLineProfiled) {
  const char* untrapped =
      "Function Depth(n As Long) As Long\n"
      "  Depth = Depth(n + 1)\n"
      "End Function\n"
      "Sub Initialize\n"
      "  Print Depth(1)\n"
      "End Sub\n";
  const char* trapped =
      "Dim deepest As Long\n"
      "Sub Down(ByVal n As Long)\n"
      "  deepest = n\n"
      "  Down n + 1\n"
      "End Sub\n"
      "Sub Initialize\n"
      "  On Error GoTo stopped\n"
      "  Down 1\n"
      "stopped:\n"
      "  Print deepest\n"
      "End Sub\n";
  RunOptions options;
  auto quiet = [](std::span<const lsrun::Value>, lsrun::Value&) { return 0; };
  options.natives.Register("nquillet", "KVXFunctionTimer", quiet);
  options.natives.Register("nquillet", "KVXLineTimer", quiet);

  const std::vector<uint8_t> image = testing::Compile(untrapped);
  RunResult plain = RunModule(image, {});
  RunResult profiled = RunModule(Instrument(image), options);
  ASSERT_FALSE(plain.ok);
  ASSERT_FALSE(profiled.ok);
  EXPECT_NE(plain.error.find("Out of stack space, error 28 in 'Depth' at line 2"), std::string::npos) << plain.error;
  EXPECT_EQ(profiled.error, plain.error);

  const std::vector<uint8_t> counting = testing::Compile(trapped);
  RunResult plainDepth = RunModule(counting, {});
  CLSProfileApp second{"nquillet", "", 0};  // one profile session per module
  RunResult profiledDepth = RunModule(Instrument(counting, second), options);
  ASSERT_TRUE(plainDepth.ok) << plainDepth.error;
  ASSERT_TRUE(profiledDepth.ok) << profiledDepth.error;
  const int a = std::stoi(plainDepth.output);
  const int b = std::stoi(profiledDepth.output);
  EXPECT_EQ(a, static_cast<int>(RunOptions{}.maxCallDepth) - 1);
  EXPECT_LE(a - b, 1);
  EXPECT_GE(a - b, 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, CorpusTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
