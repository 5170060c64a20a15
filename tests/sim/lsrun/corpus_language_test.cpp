// Corpus programs on arrays of several dimensions and user-defined Types,
// with the output worked out by hand: run plain and instrumented, which must
// print the same.
#include <gtest/gtest.h>

#include <string>

#include "sim/lsrun/corpus_kit.h"

namespace quillet {
namespace {

using testing::Program;

const Program kPrograms[] = {
    {"MatrixWithBoundsPerDimension",
     "Dim grid(1 To 2, 1 To 2) As Integer\n"
     "Function Trace(m() As Integer) As Long\n"
     "  Dim i As Integer\n"
     "  For i = LBound(m) To UBound(m)\n"
     "    Trace = Trace + m(i, i)\n"
     "  Next\n"
     "End Function\n"
     "Sub Initialize\n"
     "  Dim m(1 To 3, 0 To 4) As Integer\n"
     "  Dim i As Integer, j As Integer, total As Long\n"
     "  For i = 1 To 3\n"
     "    For j = 0 To 4\n"
     "      m(i, j) = i * 10 + j\n"
     "    Next\n"
     "  Next\n"
     "  For i = LBound(m) To UBound(m)\n"
     "    total = total + m(i, UBound(m, 2))\n"
     "  Next\n"
     "  Print LBound(m, 1) & \" \" & UBound(m, 1) & \" \" & LBound(m, 2) & \" \" & UBound(m, 2)\n"
     "  Print m(2, 3) & \" \" & total\n"
     "  grid(1, 1) = 4 : grid(2, 2) = 5 : grid(1, 2) = 100\n"
     "  Print Trace(grid)\n"
     "  Dim w(-1 To 1) As Long\n"
     "  w(-1) = 7\n"
     "  Print LBound(w) & \" \" & w(-1) + w(1)\n"
     "End Sub\n",
     "1 3 0 4\n23 72\n9\n-1 7\n"},
    {"DynamicGridPreserveAndErase",
     "Sub Initialize\n"
     "  Dim g() As String\n"
     "  ReDim g(1, 1)\n"
     "  g(0, 0) = \"a\" : g(1, 0) = \"b\" : g(0, 1) = \"c\" : g(1, 1) = \"d\"\n"
     "  ReDim Preserve g(1, 2)\n"
     "  g(0, 2) = \"e\"\n"
     "  ForAll s In g\n"
     "    Print \"[\" & s & \"]\";\n"
     "  End ForAll\n"
     "  Print\n"
     "  Print UBound(g, 2) & \" \" & g(1, 1)\n"
     "  ReDim g(2 To 3, 1 To 2, 0 To 1)\n"
     "  g(3, 2, 1) = \"z\"\n"
     "  Print \"(\" & g(2, 1, 0) & \")\" & g(3, 2, 1) & UBound(g, 3)\n"
     "  Erase g\n"
     "  On Error Resume Next\n"
     "  n = UBound(g)\n"
     "  Print Err\n"
     "End Sub\n",
     "[a][b][c][d][e][]\n2 d\n()z1\n9\n"},
    {"BoardOfObjects",
     "Class Cell\n"
     "  Public v As Integer\n"
     "  Sub New(x As Integer)\n"
     "    v = x\n"
     "  End Sub\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim board(2, 2) As Cell\n"
     "  Dim r As Integer, c As Integer\n"
     "  For r = 0 To 2\n"
     "    For c = 0 To 2\n"
     "      Set board(r, c) = New Cell(r * 3 + c)\n"
     "    Next\n"
     "  Next\n"
     "  Print board(1, 2).v & \" \" & board(2, 0).v\n"
     "  Print board(0, 1) Is Nothing\n"
     "  Erase board\n"
     "  Print board(1, 1) Is Nothing\n"
     "  On Error GoTo bad\n"
     "  Print board(3, 0).v\n"
     "  Print \"after\"\n"
     "  Exit Sub\n"
     "bad:\n"
     "  Print \"Error \" & Err & \" at \" & Erl\n"
     "  Resume Next\n"
     "End Sub\n",
     "5 6\nFalse\nTrue\nError 9 at 20\nafter\n"},
    {"TypesCopyOnAssignment",
     "Type Point\n"
     "  X As Integer\n"
     "  Y As Integer\n"
     "End Type\n"
     "Type Segment\n"
     "  A As Point\n"
     "  B As Point\n"
     "  Label As String\n"
     "End Type\n"
     "Dim origin As Point\n"
     "Sub Shift(p As Point, dx As Integer)\n"
     "  p.X = p.X + dx\n"
     "End Sub\n"
     "Sub Initialize\n"
     "  Dim p As Point, q As Point\n"
     "  p.X = 3 : p.Y = 4\n"
     "  q = p\n"
     "  q.X = 10\n"
     "  Print p.X & \",\" & p.Y & \" \" & q.X & \",\" & q.Y\n"
     "  Shift p, 5\n"
     "  Print p.X\n"
     "  Dim s As Segment, t As Segment\n"
     "  s.A = p\n"
     "  s.B.Y = 7\n"
     "  s.Label = \"first\"\n"
     "  t = s\n"
     "  t.A.X = 99\n"
     "  t.Label = \"second\"\n"
     "  Print s.A.X & \" \" & s.B.Y & \" \" & s.Label & \" / \" & t.A.X & \" \" & t.Label\n"
     "  Print origin.X + origin.Y\n"
     "End Sub\n",
     "3,4 10,4\n8\n8 7 first / 99 second\n0\n"},
    {"ArraysOfTypesAndTypeMembers",
     "Type Point\n"
     "  X As Integer\n"
     "  Y As Integer\n"
     "End Type\n"
     "Class Shape\n"
     "  Public Origin As Point\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim pts(1 To 3) As Point\n"
     "  Dim i As Integer\n"
     "  For i = 1 To 3\n"
     "    pts(i).X = i\n"
     "    pts(i).Y = i * i\n"
     "  Next\n"
     "  pts(2) = pts(3)\n"
     "  pts(3).Y = 0\n"
     "  ForAll e In pts\n"
     "    Print e.X & \":\" & e.Y & \" \";\n"
     "  End ForAll\n"
     "  Print\n"
     "  Dim grid() As Point\n"
     "  ReDim grid(1, 1)\n"
     "  grid(1, 1).X = 5\n"
     "  ReDim Preserve grid(1, 2)\n"
     "  Print grid(1, 1).X & \" \" & grid(0, 2).Y\n"
     "  Dim sh As New Shape\n"
     "  sh.Origin.X = 2\n"
     "  Dim c As Point\n"
     "  c = sh.Origin\n"
     "  c.X = 50\n"
     "  Print sh.Origin.X & \" \" & c.X\n"
     "End Sub\n",
     "1:1 3:9 3:0 \n5 0\n2 50\n"},
    {"PropertiesGetAndSet",
     "Class Node\n"
     "  Public Value As Integer\n"
     "End Class\n"
     "Class Account\n"
     "  Private mBalance As Currency\n"
     "  Private mOwner As String\n"
     "  Private mNode As Node\n"
     "  Property Get Balance As Currency\n"
     "    Balance = mBalance\n"
     "  End Property\n"
     "  Property Set Owner As String\n"
     "    If Owner = \"\" Then Exit Property\n"
     "    mOwner = UCase(Owner)\n"
     "  End Property\n"
     "  Property Get Owner As String\n"
     "    Owner = mOwner\n"
     "  End Property\n"
     "  Sub Deposit(amount As Currency)\n"
     "    mBalance = mBalance + amount\n"
     "  End Sub\n"
     "  Property Let Limit As Integer\n"
     "    Print \"limit \" & Limit\n"
     "  End Property\n"
     "  Property Set Item As Node\n"
     "    Set mNode = Item\n"
     "  End Property\n"
     "  Property Get Item As Node\n"
     "    Set Item = mNode\n"
     "  End Property\n"
     "  Function Describe() As String\n"
     "    Owner = Owner & \"!\"\n"
     "    Describe = Owner & \" \" & Balance\n"
     "  End Function\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim a As New Account, n As New Node\n"
     "  a.Owner = \"ann\"\n"
     "  a.Owner = \"\"\n"
     "  a.Deposit 12.5\n"
     "  Print a.Owner; \" \"; a.Balance\n"
     "  a.Limit = 3\n"
     "  Print a.Describe()\n"
     "  n.Value = 7\n"
     "  Set a.Item = n\n"
     "  n.Value = 8\n"
     "  Print a.Item.Value\n"
     "End Sub\n",
     "ANN 12.5\nlimit 3\nANN! 12.5\n8\n"},
    {"DerivedClassesOverrideAndChainNew",
     "Class Animal\n"
     "  Public Name As String\n"
     "  Private mLegs As Integer\n"
     "  Sub New(n As String, legs As Integer)\n"
     "    Name = n\n"
     "    mLegs = legs\n"
     "    Print \"animal \" & n\n"
     "  End Sub\n"
     "  Function Sound() As String\n"
     "    Sound = \"...\"\n"
     "  End Function\n"
     "  Function Describe() As String\n"
     "    Describe = Name & \" (\" & mLegs & \") says \" & Sound()\n"
     "  End Function\n"
     "  Sub Delete\n"
     "    Print \"bye \" & Name\n"
     "  End Sub\n"
     "End Class\n"
     "Class Dog As Animal\n"
     "  Sub New(n As String), Animal(n, 4)\n"
     "    Print \"dog \" & n\n"
     "  End Sub\n"
     "  Function Sound() As String\n"
     "    Sound = \"Woof\"\n"
     "  End Function\n"
     "  Function Describe() As String\n"
     "    Describe = Animal..Describe() & \"!\"\n"
     "  End Function\n"
     "End Class\n"
     "Class Puppy As Dog\n"
     "  Function Sound() As String\n"
     "    Sound = \"Yip, not \" & Dog..Sound()\n"
     "  End Function\n"
     "End Class\n"
     "Class Bird As Animal\n"
     "  Property Get Legs As Integer\n"
     "    Legs = mLegs\n"
     "  End Property\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim a As Animal\n"
     "  Set a = New Dog(\"Rex\")\n"
     "  Print a.Describe()\n"
     "  Set a = New Puppy(\"Bit\")\n"
     "  Print a.Sound()\n"
     "  Dim b As New Bird(\"Tweety\", 2)\n"
     "  Print b.Describe(); \" \"; b.Legs\n"
     "  Set a = Nothing\n"
     "End Sub\n",
     "animal Rex\ndog Rex\nRex (4) says Woof!\nanimal Bit\ndog Bit\nbye Rex\nYip, not Woof\n"
     "animal Tweety\nTweety (2) says ... 2\nbye Bit\nbye Tweety\n"},
    {"OptionCompareNoCase",
     "Option Compare NoCase\n"
     "Sub Initialize\n"
     "  Print \"abc\" = \"ABC\"; \" \"; \"apple\" < \"BANANA\"; \" \"; InStr(\"Hello\", \"LL\"); \" \"; StrComp(\"x\", \"X\")\n"
     "  Print InStr(1, \"Hello\", \"LL\", 0); \" \"; StrComp(\"a\", \"B\", 0)\n"
     "  Select Case \"YES\"\n"
     "  Case \"yes\"\n"
     "    Print \"matched\"\n"
     "  End Select\n"
     "  Print Replace(\"aXbxc\", \"x\", \"-\")\n"
     "  Print ArrayGetIndex(Split(\"one,Two\", \",\"), \"two\")\n"
     "End Sub\n",
     "True True 3 0\n0 1\nmatched\na-b-c\n1\n"},
    {"OptionCompareBinaryIsTheDefault",
     "Sub Initialize\n"
     "  Print \"abc\" = \"ABC\"; \" \"; \"apple\" < \"BANANA\"; \" \"; InStr(\"Hello\", \"LL\"); \" \"; StrComp(\"x\", \"X\")\n"
     "End Sub\n",
     "False False 0 1\n"},
    {"NullGoesThroughOperators",
     "Sub Initialize\n"
     "  Dim v As Variant, w As Variant, n As Integer\n"
     "  v = Null\n"
     "  w = v + 1\n"
     "  Print IsNull(v); \" \"; IsNull(w); \" \"; IsNull(v & \"\"); \" [\"; v & \"x\"; \"] \"; IsNull(Null & Null); \" \"; "
     "IsNull(-v); \" \"; IsNull(Not v); \" \"; IsNull(v = 1)\n"
     "  If v = 1 Then Print \"never\" Else Print \"null is not true\"\n"
     "  On Error Resume Next\n"
     "  n = v\n"
     "  Print Err; \" \"; Error$\n"
     "End Sub\n",
     "True True False [x] True True True True\nnull is not true\n94 Invalid use of Null\n"},
    {"StockReportWithTypesClassesAndNoCase",
     "Option Compare NoCase\n"
     "Type Item\n"
     "  Name As String\n"
     "  Qty As Integer\n"
     "  Price As Currency\n"
     "End Type\n"
     "Class Report\n"
     "  Private mTitle As String\n"
     "  Property Get Title As String\n"
     "    Title = mTitle\n"
     "  End Property\n"
     "  Property Set Title As String\n"
     "    mTitle = UCase(Title)\n"
     "  End Property\n"
     "  Function Row(it As Item) As String\n"
     "    Row = it.Name & \": \" & it.Qty\n"
     "  End Function\n"
     "End Class\n"
     "Class PriceReport As Report\n"
     "  Function Row(it As Item) As String\n"
     "    Row = Report..Row(it) & \" x \" & it.Price & \" = \" & it.Qty * it.Price\n"
     "  End Function\n"
     "End Class\n"
     "Class LoudReport As Report\n"
     "  Property Set Title As String\n"
     "    mTitle = \"!\" & Title & \"!\"\n"
     "  End Property\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim stock(1 To 3) As Item\n"
     "  stock(1).Name = \"Pen\" : stock(1).Qty = 10 : stock(1).Price = 1.5\n"
     "  stock(2).Name = \"ink\" : stock(2).Qty = 2 : stock(2).Price = 7.25\n"
     "  stock(3) = stock(1)\n"
     "  stock(3).Name = \"PENCIL\"\n"
     "  Dim r As Report\n"
     "  Set r = New PriceReport\n"
     "  r.Title = \"stock\"\n"
     "  Print r.Title\n"
     "  Dim i As Integer, total As Currency\n"
     "  For i = LBound(stock) To UBound(stock)\n"
     "    Print r.Row(stock(i))\n"
     "    If stock(i).Name = \"pen\" Then total = total + stock(i).Qty\n"
     "  Next\n"
     "  Print \"pens: \" & total\n"
     "  Set r = New LoudReport\n"  // its Set overrides Report's, the Get stays Report's
     "  r.Title = \"loud\"\n"
     "  Print r.Title\n"
     "End Sub\n",
     "STOCK\nPen: 10 x 1.5 = 15\nink: 2 x 7.25 = 14.5\nPENCIL: 10 x 1.5 = 15\npens: 10\n!loud!\n"},
    {"PropertiesOverriddenOneSideAtATime",
     // Derived overrides only the Set, Both the Get and the Set again: reads
     // through Derived go to Base's Get, every call picks the instance's side.
     "Class Base\n"
     "  Private m As Integer\n"
     "  Property Get P As Integer\n"
     "    P = m\n"
     "  End Property\n"
     "End Class\n"
     "Class Derived As Base\n"
     "  Property Set P As Integer\n"
     "    m = P * 2\n"
     "  End Property\n"
     "  Sub Twice\n"
     "    P = P + 1\n"
     "  End Sub\n"
     "End Class\n"
     "Class Both As Derived\n"
     "  Property Set P As Integer\n"
     "    m = P + 1000\n"
     "  End Property\n"
     "  Property Get P As Integer\n"
     "    P = -Derived..P\n"
     "  End Property\n"
     "End Class\n"
     "Sub Initialize\n"
     "  Dim d As New Derived\n"
     "  d.P = 4\n"            // m = 8
     "  d.Twice\n"            // m = (8 + 1) * 2
     "  Dim b As Base\n"
     "  Set b = d\n"
     "  Print d.P; \" \"; b.P\n"
     "  Dim x As Derived\n"
     "  Set x = New Both\n"
     "  x.P = 1\n"            // m = 1001
     "  Print x.P\n"          // Both's Get: -(Base's Get)
     "  x.Twice\n"            // m = -1001 + 1 + 1000
     "  Print x.P\n"
     "End Sub\n",
     "18 18\n-1001\n0\n"},
};

class CorpusLanguageTest : public testing::CorpusFixture {};

TEST_P(CorpusLanguageTest, PrintsTheWorkedOutOutputPlainAndProfiled) { ExpectOutputPlainAndProfiled(GetParam()); }

// An untrapped error inside either accessor names the accessor and its line,
// plain and profiled alike.
TEST_F(CorpusLanguageTest, ErrorsInsideAccessorsNameTheirLine) {
  const char* source =
      "Class Gauge\n"                       // 1
      "  Private mLevel As Integer\n"       // 2
      "  Property Get Level As Integer\n"   // 3
      "    Level = 100 \\ mLevel\n"         // 4
      "  End Property\n"                    // 5
      "  Property Set Level As Integer\n"   // 6
      "    mLevel = Level * 1000\n"         // 7
      "  End Property\n"                    // 8
      "End Class\n"                         // 9
      "Sub Initialize\n"
      "  Dim g As New Gauge\n"
      "  g.Level = %s\n"
      "  Print g.Level\n"
      "End Sub\n";
  RunOptions options;
  auto quiet = [](std::span<const lsrun::Value>, lsrun::Value&) { return 0; };
  options.natives.Register("nquillet", "KVXFunctionTimer", quiet);
  options.natives.Register("nquillet", "KVXLineTimer", quiet);
  const struct {
    const char* value;
    const char* error;
  } kCases[] = {{"0", "Division by zero, error 11 in 'Gauge::Level' at line 4"},
                {"40", "Overflow, error 6 in 'Gauge::Level' at line 7"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    std::string text = source;
    text.replace(text.find("%s"), 2, c.value);
    const std::vector<uint8_t> image = testing::Compile(text);
    CLSProfileApp profile{"nquillet", "", 0};
    const RunResult plain = RunModule(image, {});
    const RunResult profiled = RunModule(Instrument(image, profile), options);
    ASSERT_FALSE(plain.ok);
    EXPECT_NE(plain.error.find(c.error), std::string::npos) << plain.error;
    EXPECT_EQ(profiled.error, plain.error);
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, CorpusLanguageTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
