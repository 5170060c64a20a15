// Instruction shapes of every statement, compared against expected opcode
// sequences, and their assembly into byte code.
#include "sim/lsc/codegen.h"

#include <gtest/gtest.h>

#include "bytecode/opcodes.h"
#include "sim/lsc/parser.h"
#include "sim/lsc/resolver.h"

namespace quillet::lsc {
namespace {

// Handles in order of first use: enough to tell operands apart.
class CountingHandles : public HandleSource {
 public:
  uint16_t SymbolHandle(const Symbol& s) override { return Of(&s); }
  uint16_t StringHandle(const std::string& t) override { return Of(&t) + 0x1000; }

 private:
  uint16_t Of(const void* p) {
    auto it = seen_.emplace(p, static_cast<uint16_t>(seen_.size() + 4)).first;
    return it->second;
  }
  std::map<const void*, uint16_t> seen_;
};

struct Generated {
  Module module;
  ModuleSymbols syms;
  CodeBuffer code;
  std::vector<int> labelIndex;
  const Symbol* proc = nullptr;
};

// Compiles `body` as the body of "Sub S" (after `prelude` at module level).
std::unique_ptr<Generated> Gen(const std::string& body, const std::string& prelude = "") {
  auto g = std::make_unique<Generated>();
  std::vector<CompileError> errors;
  std::string src = prelude + "Sub S\n" + body + "End Sub\n";
  bool ok = ParseModule(src, g->module, errors) && ResolveModule(g->module, g->syms, errors);
  EXPECT_TRUE(ok) << (errors.empty() ? "" : std::to_string(errors[0].line) + ": " + errors[0].message);
  if (!ok) return g;
  g->proc = g->syms.scope.at("S");
  GenerateProcedure(*g->proc, g->code, g->labelIndex);
  return g;
}

// The class names of the instructions, with "Line<n>" for line markers and
// "@" before every jump target.
std::string Shape(const Generated& g) {
  std::vector<int> targetsAt(g.code.code().size() + 1, 0);
  for (const Instr& in : g.code.code()) {
    for (int t : in.targets) ++targetsAt[g.code.LabelIndex(t)];
  }
  std::string out;
  for (size_t i = 0; i < g.code.code().size(); ++i) {
    const Instr& in = g.code.code()[i];
    if (!out.empty()) out += ' ';
    if (targetsAt[i] > 0) out += '@';
    std::string name = LookupOpcode(in.op).name;
    if (name.rfind("Op", 0) == 0) name = name.substr(2);
    out += name;
    if (in.op == kOpLine) out += std::to_string(in.value);
  }
  return out;
}

TEST(LscCodegen, EmittedOpcodesMatchTheInstructionSetTable) {
  const std::pair<uint8_t, const char*> rows[] = {
      {kOpLine, "OpLine"}, {kOpStmtSep, "OpStmtSep"}, {kOpJZ, "OpJZ"}, {kOpJNZ, "OpJNZ"},
      {kOpJmp, "OpJmp"}, {kOpDup, "OpDup"}, {kOpPop, "OpPop"}, {kOpFor, "OpFor"}, {kOpNext, "OpNext"},
      {kOpForAll, "OpForAll"}, {kOpNextForAll, "OpNextForAll"}, {kOpOnGoto, "OpOnGoto"},
      {kOpOnGosub, "OpOnGosub"}, {kOpGosub, "OpGosub"}, {kOpReturn, "OpReturn"}, {kOpEq, "OpBinaryOperator"},
      {kOpExp, "OpExp"}, {kOpCallProc, "OpCallProc"}, {kOpLoadProc, "OpLoadProc"}, {kOpLoadCtor, "OpLoadCtor"},
      {kOpTLoadObjPtr, "OpTLoadObjPtr"}, {kOpLLoadObjPtr, "OpLLoadObjPtr"}, {kOpMLoadObj, "OpMLoadObj"},
      {kOpOnErrorGoto, "OpOnErrorGoto"}, {kOpInteger, "OpInteger"}, {kOpPrintNoCR, "OpPrintNoCR"},
      {kOpEndSub, "OpEndSub"}, {kOpExitSub, "OpExitSub"}, {kOpElem, "OpElem"}, {kOpSet, "OpSet"},
      {kOpResumeLabel, "OpResumeLabel"}, {kOpLongJmp, "OpLongJmp"}};
  for (auto [op, name] : rows) {
    ASSERT_NE(LookupOpcode(op).name, nullptr) << int(op);
    EXPECT_STREQ(LookupOpcode(op).name, name) << int(op);
  }
}

TEST(LscCodegen, SimpleStatementsStartWithTheirLineAndEndWithASeparator) {
  auto g = Gen("  Dim a As Integer\n  a = 1 + 2 : Print a; \"x\";\n  Call T(a)\n", "Sub T(ByVal v)\nEnd Sub\n");
  EXPECT_EQ(Shape(*g),
            "Line5 LLoadObjPtr Integer Integer BinaryOperator Assign StmtSep "
            "LLoadObj StringLiteral PrintNoCR StmtSep "
            "Line6 LoadProc LLoadObj CallProc StmtSep Line7 EndSub");
}

TEST(LscCodegen, EmptyProcedureIsItsEndLineAndItsEnd) { EXPECT_EQ(Shape(*Gen("")), "Line2 EndSub"); }

TEST(LscCodegen, WhileTestsAtTheHeadAndJumpsBackToItsSeparator) {
  auto g = Gen("  While x < 3\n    x = x + 1\n  Wend\n");
  EXPECT_EQ(Shape(*g),
            "Line2 @StmtSep LLoadObj Integer BinaryOperator JZ "
            "Line3 LLoadObjPtr LLoadObj Integer BinaryOperator Assign StmtSep "
            "Line4 Jmp @StmtSep Line5 EndSub");
}

TEST(LscCodegen, DoLoopsTestAtTheirHeadOrTheirFoot) {
  EXPECT_EQ(Shape(*Gen("  Do Until x = 3\n    x = 1\n  Loop\n")),
            "Line2 @StmtSep LLoadObj Integer BinaryOperator JNZ "
            "Line3 LLoadObjPtr Integer Assign StmtSep Line4 Jmp @StmtSep Line5 EndSub");
  EXPECT_EQ(Shape(*Gen("  Do\n    x = 1\n    Exit Do\n  Loop While x < 3\n")),
            "Line2 @StmtSep Line3 LLoadObjPtr Integer Assign StmtSep Line4 Jmp StmtSep "
            "Line5 LLoadObj Integer BinaryOperator JNZ @StmtSep Line6 EndSub");
  EXPECT_EQ(Shape(*Gen("  Do\n    x = 1\n  Loop Until x\n")),
            "Line2 @StmtSep Line3 LLoadObjPtr Integer Assign StmtSep Line4 LLoadObj JZ StmtSep Line5 EndSub");
}

TEST(LscCodegen, IfElseIfElseJumpsForwardOverEachPart) {
  auto g = Gen("  If a Then\n    x = 1\n  ElseIf b Then\n    x = 2\n  Else\n    x = 3\n  End If\n  x = 4\n");
  EXPECT_EQ(Shape(*g),
            "Line2 LLoadObj JZ Line3 LLoadObjPtr Integer Assign StmtSep "
            "Line4 Jmp @LLoadObj JZ Line5 LLoadObjPtr Integer Assign StmtSep "
            "Line6 Jmp @Line7 LLoadObjPtr Integer Assign StmtSep "
            "@StmtSep Line9 LLoadObjPtr Integer Assign StmtSep Line10 EndSub");
  // Without Else the last test lands on the If's own separator.
  EXPECT_EQ(Shape(*Gen("  If a Then x = 1\n")),
            "Line2 LLoadObj JZ LLoadObjPtr Integer Assign StmtSep @StmtSep Line3 EndSub");
  EXPECT_EQ(Shape(*Gen("  If a Then x = 1 Else x = 2\n")),
            "Line2 LLoadObj JZ LLoadObjPtr Integer Assign StmtSep Jmp "
            "@LLoadObjPtr Integer Assign StmtSep @StmtSep Line3 EndSub");
}

TEST(LscCodegen, SelectCaseDuplicatesTheSelectorAtEachCaseLine) {
  auto g = Gen(
      "  Select Case x\n"
      "  Case 1, 2\n    y = 1\n"
      "  Case 3\n    y = 2\n"
      "  Case Else\n    y = 3\n"
      "  End Select\n");
  EXPECT_EQ(Shape(*g),
            "Line2 LLoadObj "
            "Line3 Dup Integer BinaryOperator JNZ Dup Integer BinaryOperator JZ @Pop "
            "Line4 LLoadObjPtr Integer Assign StmtSep Jmp @StmtSep "
            "Line5 Dup Integer BinaryOperator JZ Pop "
            "Line6 LLoadObjPtr Integer Assign StmtSep Jmp @Pop "
            "Line8 LLoadObjPtr Integer Assign StmtSep @StmtSep Line10 EndSub");
}

TEST(LscCodegen, ForAndForAllLoopBackToTheirBodies) {
  EXPECT_EQ(Shape(*Gen("  For i = 1 To 10 Step 2\n    If i > 5 Then Exit For\n  Next\n")),
            "Line2 LLoadObjPtr Integer Integer Integer For "
            "@Line3 LLoadObj Integer BinaryOperator JZ Jmp StmtSep @StmtSep "
            "Line4 Next @StmtSep Line5 EndSub");
  EXPECT_EQ(Shape(*Gen("  Dim a(1 To 3) As Integer\n  ForAll e In a\n    Print e\n  End ForAll\n")),
            "Line3 LLoadObj ForAll @Line4 LLoadObj Print StmtSep Line5 NextForAll @StmtSep Line6 EndSub");
}

TEST(LscCodegen, LabelsJumpsAndErrorHandling) {
  auto g = Gen(
      "  On Error GoTo handler\n"
      "  On x GoTo one, two\n"
      "  GoSub one\n"
      "  Exit Sub\n"
      "one:\n"
      "  Return\n"
      "two: GoTo one\n"
      "handler:\n"
      "  Resume Next\n");
  EXPECT_EQ(Shape(*g),
            "Line2 OnErrorGoto StmtSep Line3 LLoadObj OnGoto StmtSep Line4 Gosub StmtSep "
            "Line5 ExitSub StmtSep @Line6 Line7 Return StmtSep @Line8 Jmp StmtSep "
            "@Line9 Line10 ResumeNext StmtSep Line11 EndSub");
  ASSERT_EQ(g->labelIndex.size(), 3u);
  // Each label stands for its own line marker; labels keep their order of definition.
  EXPECT_EQ(g->code.code()[g->labelIndex[0]].value, 6);
  EXPECT_EQ(g->code.code()[g->labelIndex[2]].value, 9);
}

TEST(LscCodegen, ObjectsMembersAndCalls) {
  const std::string cls =
      "Class C\n  v As Integer\n  Sub New(ByVal a)\n    v = a\n  End Sub\n"
      "  Function Get() As Integer\n    Get = v\n  End Function\nEnd Class\n";
  auto g = Gen("  Dim o As New C(5)\n  o.v = o.Get() * 2\n  Call o.Get\n", cls);
  EXPECT_EQ(Shape(*g),
            "Line11 LLoadObjPtr LoadCtor Integer CallProc Set StmtSep "
            "Line12 LLoadObj MLoadObjPtr LLoadObj LoadMethod CallProc Integer BinaryOperator Assign StmtSep "
            "Line13 LLoadObj LoadMethod CallProc Pop StmtSep Line14 EndSub");
  // Inside the class, members load through Me and the return value through the frame.
  Symbol* get = g->syms.classes[0]->memberScope.at("GET");
  CodeBuffer code;
  std::vector<int> labels;
  GenerateProcedure(*get, code, labels);
  ASSERT_EQ(code.code().size(), 7u);
  EXPECT_EQ(code.code()[1].op, kOpLLoadObjPtr);
  EXPECT_EQ(code.code()[1].sym, get);
  EXPECT_EQ(code.code()[2].op, kOpTLoadObj);
}

TEST(LscCodegen, AssemblesToByteCodeThatReadsBackAsInstructions) {
  auto g = Gen("  For i = 1 To 2\n    On i GoTo a, b\na:\nb:\n  Next\n");
  CountingHandles handles;
  std::vector<uint8_t> bytes;
  std::vector<int> offsets;
  std::string error;
  ASSERT_TRUE(Assemble(g->code, handles, bytes, offsets, error)) << error;
  InstructionList list;
  ASSERT_TRUE(ReadInstructions(bytes, list));
  ASSERT_EQ(list.size(), g->code.code().size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i]->opcode(), g->code.code()[i].op) << i;
    EXPECT_EQ(list[i]->offset, offsets[i]) << i;
  }
  // OpFor jumps to the separator after OpNext; OpNext back to the body.
  const size_t forAt = 5, nextAt = list.size() - 4;
  ASSERT_EQ(list[forAt]->opcode(), kOpFor);
  ASSERT_EQ(list[nextAt]->opcode(), kOpNext);
  auto rel = [&](size_t i) { return static_cast<int16_t>(LoadU16(bytes.data() + offsets[i] + 1)); };
  EXPECT_EQ(offsets[forAt] + 3 + rel(forAt), offsets[nextAt + 1]);
  EXPECT_EQ(offsets[nextAt] + 3 + rel(nextAt), offsets[forAt + 1]);
  // Each On GoTo target counts from the end of its own slot.
  const size_t onAt = 8;
  ASSERT_EQ(list[onAt]->opcode(), kOpOnGoto);
  const int slot0 = offsets[onAt] + 2;
  EXPECT_EQ(slot0 + 2 + static_cast<int16_t>(LoadU16(bytes.data() + slot0)), offsets[g->labelIndex[0]]);
  EXPECT_EQ(slot0 + 4 + static_cast<int16_t>(LoadU16(bytes.data() + slot0 + 2)), offsets[g->labelIndex[1]]);
}

TEST(LscCodegen, RefusesJumpsBeyondSixteenBits) {
  std::string body = "  While x\n";
  for (int i = 0; i < 1800; ++i) body += "    x = x + 1 : y = y & \"abc\"\n";
  body += "  Wend\n";
  auto g = Gen(body);
  CountingHandles handles;
  std::vector<uint8_t> bytes;
  std::vector<int> offsets;
  std::string error;
  EXPECT_FALSE(Assemble(g->code, handles, bytes, offsets, error));
  EXPECT_NE(error.find("control structure too long"), std::string::npos);
}

}  // namespace
}  // namespace quillet::lsc

namespace quillet::lsc {
namespace {

// A variable for a parameter without ByVal goes as its reference; ByVal, an
// expression, a variable of another type and a Declare'd function's
// argument go as values.
TEST(LscCodegen, ArgumentsPassByReferenceUnlessByValOrAnExpression) {
  auto g = Gen("  Dim a As Integer, l As Long\n  Call T(a, a)\n  Call T(a + 1, l)\n  Call N(a)\n",
               "Declare Sub N Lib \"lib\" (v As Integer)\nSub T(ByVal v As Integer, r As Integer)\nEnd Sub\n");
  EXPECT_EQ(Shape(*g),
            "Line6 LoadProc LLoadObj LLoadObjPtr CallProc StmtSep "
            "Line7 LoadProc LLoadObj Integer BinaryOperator LLoadObj CallProc StmtSep "
            "Line8 LoadProc LLoadObj CallProc StmtSep Line9 EndSub");
}

// Built-ins: the dispatch after exactly the longest form's arguments, the
// omitted ones as default arguments (InStr's start first); conversions and
// Err by their own instructions; Err without a declaration is never a
// variable.
TEST(LscCodegen, BuiltinsPushEveryArgumentSlot) {
  auto g = Gen("  x = InStr(\"ab\", \"b\") + Mid$(\"abc\", 2) + CInt(Err)\n");
  EXPECT_EQ(Shape(*g),
            "Line2 LLoadObjPtr DefaultArg StringLiteral StringLiteral DefaultArg BuiltinDisp "
            "StringLiteral Integer DefaultArg BuiltinDisp BinaryOperator Err CInt BinaryOperator Assign StmtSep "
            "Line3 EndSub");
  ASSERT_EQ(g->proc->locals.size(), 1u) << "only x is a variable";
}

TEST(LscCodegen, ErrorStatementsUseTheErrorInstructions) {
  auto g = Gen("  On Error 11 GoTo h\n  Error 5, \"x\"\n  Err = 0\n  Resume\nh:\n  Resume Next\n");
  EXPECT_EQ(Shape(*g),
            "Line2 OnErrorGoto StmtSep Line3 Integer StringLiteral ErrorStmtWithArg StmtSep "
            "Line4 Integer ErrStmt StmtSep Line5 Resume0 StmtSep @Line6 Line7 ResumeNext StmtSep Line8 EndSub");
  EXPECT_EQ(g->code.code()[1].extra, 11) << "the error number travels with On Error";
}

}  // namespace
}  // namespace quillet::lsc
