// Parser and lexer: accepted syntax and the position and text of errors.
#include "sim/lsc/parser.h"

#include <gtest/gtest.h>

namespace quillet::lsc {
namespace {

struct Parsed {
  Module module;
  std::vector<CompileError> errors;
  bool ok = false;
};

Parsed Parse(const std::string& src) {
  Parsed p;
  p.ok = ParseModule(src, p.module, p.errors);
  return p;
}

::testing::AssertionResult FirstErrorAt(const Parsed& p, int line, int column, const std::string& fragment) {
  if (p.ok || p.errors.empty()) return ::testing::AssertionFailure() << "no error reported";
  const CompileError& e = p.errors.front();
  if (e.line != line || e.column != column || e.message.find(fragment) == std::string::npos) {
    return ::testing::AssertionFailure() << "got " << e.line << ":" << e.column << " " << e.message;
  }
  return ::testing::AssertionSuccess();
}

TEST(LscParser, AcceptsModuleLevelDeclarations) {
  Parsed p = Parse(
      "Option Public\n"
      "option declare\n"
      "Dim counter As Integer, name As String\n"
      "Declare Function GetTick Lib \"kernel32\" Alias \"GetTickCount\" () As Long\n"
      "Class Account\n"
      "  Public balance As Long\n"
      "  Sub New(ByVal start As Long)\n"
      "    balance = start\n"
      "  End Sub\n"
      "  Function Twice() As Long\n"
      "    Twice = balance * 2\n"
      "  End Function\n"
      "End Class\n"
      "Sub Initialize\n"
      "  Print \"hi\"\n"
      "END SUB\n");
  ASSERT_TRUE(p.ok) << p.errors.front().line << ": " << p.errors.front().message;
  EXPECT_TRUE(p.module.optionDeclare);
  EXPECT_TRUE(p.module.optionPublic);
  ASSERT_EQ(p.module.variables.size(), 2u);
  EXPECT_EQ(p.module.variables[1].type.kind, TypeKind::kString);
  ASSERT_EQ(p.module.externals.size(), 1u);
  EXPECT_EQ(p.module.externals[0].library, "kernel32");
  EXPECT_EQ(p.module.externals[0].alias, "GetTickCount");
  ASSERT_EQ(p.module.classes.size(), 1u);
  EXPECT_EQ(p.module.classes[0].methods.size(), 2u);
  EXPECT_EQ(p.module.classes[0].methods[0].name, "New");
  ASSERT_EQ(p.module.procs.size(), 1u);
  EXPECT_EQ(p.module.procs[0].body.size(), 1u);
}

TEST(LscParser, ContinuationCommentsAndRemAreNotCode) {
  Parsed p = Parse(
      "Sub Initialize ' a comment\n"
      "  Rem a remark with Wend and End Sub in it\n"
      "  x = 1 + _\n"
      "      2   ' continued\n"
      "%REM\n"
      "  End Sub\n"
      "%END REM\n"
      "  y = x : Print y\n"
      "End Sub\n");
  ASSERT_TRUE(p.ok) << p.errors.front().message;
  const Block& body = p.module.procs[0].body;
  ASSERT_EQ(body.size(), 3u);
  EXPECT_EQ(body[0]->kind, StmtKind::kAssign);
  EXPECT_EQ(body[0]->value->kind, ExprKind::kBinary);
  EXPECT_EQ(body[1]->line, 8);  // statements keep their source line
  EXPECT_EQ(body[2]->kind, StmtKind::kPrint);
}

TEST(LscParser, RemBlockEndsWithAnyLineBreakEvenAtTheLastByte) {
  // A lone CR as the very last byte once made the lexer read past the source.
  Parsed unended = Parse(std::string("%REM\r"));
  EXPECT_FALSE(unended.ok);
  EXPECT_TRUE(FirstErrorAt(unended, 1, 1, "%Rem block without %End Rem"));
  // CR LF, LF and lone CR all end a line of the block.
  for (const char* lineBreak : {"\r\n", "\n", "\r"}) {
    const std::string br = lineBreak;
    Parsed p = Parse("%REM" + br + "  End Sub" + br + "%END REM" + br + "Sub Initialize" + br + "End Sub" + br);
    EXPECT_TRUE(p.ok) << (p.errors.empty() ? "" : p.errors.front().message);
    EXPECT_EQ(p.module.procs.size(), 1u);
  }
}

TEST(LscParser, PrecedenceFollowsTheLanguage) {
  Parsed p = Parse("Sub S\n x = 1 + 2 * 3 ^ 2 = 19 And Not a Or b\nEnd Sub\n");
  ASSERT_TRUE(p.ok);
  const Expr& e = *p.module.procs[0].body[0]->value;
  ASSERT_EQ(e.op, "OR");
  const Expr& andE = *e.left;
  ASSERT_EQ(andE.op, "AND");
  EXPECT_EQ(andE.right->op, "NOT");
  const Expr& eq = *andE.left;
  ASSERT_EQ(eq.op, "=");
  const Expr& plus = *eq.left;
  ASSERT_EQ(plus.op, "+");
  EXPECT_EQ(plus.right->op, "*");
  EXPECT_EQ(plus.right->right->op, "^");
}

TEST(LscParser, NegativeLiteralsFoldAndSizeThemselves) {
  Parsed p = Parse("Sub S\n a = -32768\n b = 32768\n c = -x\nEnd Sub\n");
  ASSERT_TRUE(p.ok);
  const Block& b = p.module.procs[0].body;
  EXPECT_EQ(b[0]->value->kind, ExprKind::kInteger);
  EXPECT_EQ(b[0]->value->value, -32768);
  EXPECT_EQ(b[1]->value->kind, ExprKind::kLong);
  EXPECT_EQ(b[2]->value->kind, ExprKind::kUnary);
}

TEST(LscParser, BlockStructuresNest) {
  Parsed p = Parse(
      "Sub S\n"
      "  If a Then\n    x = 1\n  ElseIf b Then\n    x = 2\n  Else\n    x = 3\n  End If\n"
      "  If a Then x = 1 : y = 2 Else x = 3\n"
      "  Select Case x\n  Case 1, 2\n    Print 1\n  Case Else\n    Print 2\n  End Select\n"
      "  Do\n    x = x + 1\n  Loop Until x > 3\n"
      "  For i = 1 To 10 Step 2\n    Exit For\n  Next i\n"
      "  On x GoTo l1, l2\n"
      "l1:\n"
      "l2: Print 3\n"
      "End Sub\n");
  ASSERT_TRUE(p.ok) << p.errors.front().line << ": " << p.errors.front().message;
  const Block& b = p.module.procs[0].body;
  ASSERT_EQ(b.size(), 9u);
  EXPECT_EQ(b[0]->arms.size(), 2u);
  EXPECT_TRUE(b[0]->hasElse);
  EXPECT_EQ(b[0]->elseLine, 6);
  EXPECT_TRUE(b[1]->singleLine);
  EXPECT_EQ(b[1]->arms[0].body.size(), 2u);
  EXPECT_EQ(b[1]->elseBody.size(), 1u);
  EXPECT_EQ(b[2]->arms[0].values.size(), 2u);
  EXPECT_TRUE(b[2]->hasElse);
  EXPECT_FALSE(b[3]->doTestAtTop);
  EXPECT_TRUE(b[3]->doUntil);
  EXPECT_EQ(b[3]->endLine, 18);
  EXPECT_EQ(b[5]->labels.size(), 2u);
  EXPECT_EQ(b[6]->kind, StmtKind::kLabel);
  EXPECT_EQ(b[7]->kind, StmtKind::kLabel);
  EXPECT_EQ(b[8]->kind, StmtKind::kPrint);  // "l2: Print 3" is a label then a statement
}

TEST(LscParser, ReportsLineAndColumnOfMalformedPrograms) {
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  x = (1 + 2\nEnd Sub\n"), 2, 13, "expected ')'"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  If x Then\n    y = 1\nEnd Sub\n"), 4, 1, "expected 'End If'"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  While x\n  x = 1\nEnd Sub\n"), 4, 1, "expected 'Wend'"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  Print \"abc\nEnd Sub\n"), 2, 9, "string literal is not closed"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  x = 1 $ 2\nEnd Sub\n"), 2, 9, "unexpected character '$'"));
  EXPECT_TRUE(FirstErrorAt(Parse("x = 1\n"), 1, 1, "only allowed inside a Sub"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  For i = 1 To 2\n  Next j\nEnd Sub\n"), 3, 8, "does not match"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  x = 1.5%\nEnd Sub\n"), 2, 7, "cannot have the suffix '%'"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  x = 40000%\nEnd Sub\n"), 2, 7, "too large for an Integer"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  Select Case x\n  Case Else\n  Case 1\n  End Select\nEnd Sub\n"), 4, 3,
                           "must be the last"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  x = \nEnd Sub\n"), 2, 7, "expected an expression"));
}

// Constructs outside the subset are named at their line, never mistaken for
// calls or reported as syntax errors further on.
TEST(LscParser, NamesUnsupportedConstructs) {
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  ReDim a(5) As String\nEnd Sub\n"), 2, 14, "'ReDim ... As' is not supported"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  ReDim a(1,1,1,1,1,1,1,1,1)\nEnd Sub\n"), 2, 27,
                           "arrays of more than 8 dimensions are not supported"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  Stop\nEnd Sub\n"), 2, 3, "'Stop' is not supported"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  .Title = 1\nEnd Sub\n"), 2, 3, "'.' outside a With block"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  x = .Title\nEnd Sub\n"), 2, 7, "'.' outside a With block"));
  EXPECT_TRUE(FirstErrorAt(Parse("Static n As Integer\n"), 1, 1, "declared inside a Sub or Function"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  For i = 1 To 2\n  Next i, j\nEnd Sub\n"), 3, 9, "must close the For"));
  EXPECT_TRUE(FirstErrorAt(Parse("Sub S\n  For i = 1 To 2\n  For j = 1 To 2\n  Next j, k\nEnd Sub\n"), 4, 11,
                           "does not match"));
  EXPECT_TRUE(FirstErrorAt(Parse("Property Get V As Integer\nEnd Property\n"), 1, 1, "'Property' is only allowed inside a Class"));
  auto methodInType = Parse("Type Point\n  x As Integer\n  Sub S\n    x = 1\n  End Sub\nEnd Type\n");
  EXPECT_TRUE(FirstErrorAt(methodInType, 3, 3, "a Type has members only"));
  EXPECT_EQ(methodInType.errors.size(), 1u);
  EXPECT_TRUE(FirstErrorAt(Parse("Const MAX = Len(\"x\")\n"), 1, 7, "must be made of literals"));
  EXPECT_TRUE(FirstErrorAt(Parse("Option Base 2\n"), 1, 13, "expected 0 or 1"));
  EXPECT_TRUE(FirstErrorAt(Parse("Option Compare Sideways\n"), 1, 16, "expected 'Binary', 'Case', 'NoCase' or 'Text'"));
  EXPECT_TRUE(FirstErrorAt(Parse("Dim a(1,1,1,1,1,1,1,1,1) As String\n"), 1, 23, "arrays of more than 8 dimensions"));
  EXPECT_TRUE(FirstErrorAt(Parse("Class C\n  Property Take V As Integer\n  End Property\nEnd Class\n"), 2, 12,
                           "expected 'Get' or 'Set' after 'Property'"));
}

// An unsupported block is one error, not one per line of its body.
TEST(LscParser, UnsupportedBlocksGiveOneError) {
  Parsed type = Parse("Type Point\n  x As Integer\n  Function F\n    F = 1\n  End Function\nEnd Type\nSub S\nEnd Sub\n");
  ASSERT_EQ(type.errors.size(), 1u);
  EXPECT_EQ(type.module.procs.size(), 1u);
  Parsed prop = Parse("Class C\n  Property Take V As Integer\n    V = 1\n  End Property\nEnd Class\n");
  ASSERT_EQ(prop.errors.size(), 1u);
}

// Literals: fractions, exponents, suffixes and octal read as their types.
TEST(LscParser, ReadsNumericLiteralsWithTheirTypes) {
  Parsed p = Parse("Sub S\n  Print 1.5; .25; 2E3; 7&; 2@; &O17; 3000000000\nEnd Sub\n");
  ASSERT_TRUE(p.errors.empty()) << p.errors[0].message;
  const auto& items = p.module.procs[0].body[0]->items;
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[0]->kind, ExprKind::kReal);
  EXPECT_EQ(items[0]->text, "1.5");
  EXPECT_EQ(items[1]->text, ".25");
  EXPECT_EQ(items[2]->text, "2E3");
  EXPECT_EQ(items[3]->kind, ExprKind::kLong);
  EXPECT_EQ(items[3]->value, 7);
  EXPECT_EQ(items[4]->kind, ExprKind::kReal);
  EXPECT_EQ(items[4]->suffix, '@');
  EXPECT_EQ(items[5]->kind, ExprKind::kInteger);
  EXPECT_EQ(items[5]->value, 15);
  EXPECT_EQ(items[6]->kind, ExprKind::kReal);
}

TEST(LscParser, RecoversAndReportsSeveralErrors) {
  Parsed p = Parse(
      "Sub S\n"
      "  x = (\n"
      "  y = 1\n"
      "  z = * 2\n"
      "End Sub\n"
      "Sub T\n"
      "  If a Then\n"
      "End Sub\n");
  ASSERT_FALSE(p.ok);
  ASSERT_EQ(p.errors.size(), 3u);
  EXPECT_EQ(p.errors[0].line, 2);
  EXPECT_EQ(p.errors[1].line, 4);
  EXPECT_EQ(p.errors[2].line, 8);  // the missing End If is found at End Sub, which still closes T
}

TEST(LscParser, GarbageNeverCrashes) {
  const char* inputs[] = {"", "\n\n", "Sub", "Sub S(", "Class", "Class C\n Sub", "End", "_", "%REM\n",
                          "Sub S\n If\nEnd Sub", "Sub S\n Select Case\n", "\"", "Sub S\n a.\nEnd Sub",
                          "Declare Sub X Lib", "Sub S\n On Error\nEnd Sub", "Sub S\n x = New\nEnd Sub"};
  for (const char* src : inputs) {
    Parsed p = Parse(src);
    if (!p.ok) {
      EXPECT_FALSE(p.errors.empty()) << src;
      for (const CompileError& e : p.errors) EXPECT_GE(e.line, 1) << src;
    }
  }
}

}  // namespace
}  // namespace quillet::lsc

namespace quillet::lsc {
namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Inputs nested far beyond any real program are refused with a message, not
// a stack overflow in the parser or in the passes after it.
TEST(LscParser, DeepNestingIsRefusedNotOverflowed) {
  const int n = 20000;
  struct Case {
    std::string body;
    const char* message;
  } cases[] = {
      {"  x = " + Repeat("(", n) + "1" + Repeat(")", n) + "\n", "nested too deeply"},
      {"  x = " + Repeat("1 + ", n) + "1\n", "too complex"},
      {"  x = " + Repeat("- ", n) + "y\n", "nested too deeply"},
      {"  x = " + Repeat("Not ", n) + "y\n", "nested too deeply"},
      {"  x = " + Repeat("f(", n) + Repeat(")", n) + "\n", "nested too deeply"},
      {Repeat("  If a Then\n", 5000) + Repeat("  End If\n", 5000), "nested too deeply"},
  };
  for (const Case& c : cases) {
    Parsed p = Parse("Sub S\n" + c.body + "End Sub\n");
    ASSERT_FALSE(p.ok);
    EXPECT_NE(p.errors.front().message.find(c.message), std::string::npos) << p.errors.front().message;
  }
  // Real programs stay far below the limits.
  EXPECT_TRUE(Parse("Sub S\n  x = " + Repeat("(", 50) + "1" + Repeat(")", 50) + "\n" +
                    Repeat("  If a Then\n", 40) + Repeat("  End If\n", 40) + "End Sub\n")
                  .ok);
}

}  // namespace
}  // namespace quillet::lsc
