// Compiled control structures under the control-structure marking: the kinds
// and marks each shape is meant to get.
#include <gtest/gtest.h>

#include <map>

#include "bytecode/opcodes.h"
#include "bytecode/marking.h"
#include "sim/lsc/codegen.h"
#include "sim/lsc/parser.h"
#include "sim/lsc/resolver.h"

namespace quillet::lsc {
namespace {

class Handles : public HandleSource {
 public:
  uint16_t SymbolHandle(const Symbol&) override { return 4; }
  uint16_t StringHandle(const std::string&) override { return 8; }
};

// Compiles `body` as Sub S, marks it and renders each instruction as its
// class name with ":mark", ":kind", "*" (Case line) or "+End If"-style
// annotations; separators and pops without a mark are left out for brevity
// unless `all` is set.
std::string Marked(const std::string& body) {
  Module module;
  ModuleSymbols syms;
  std::vector<CompileError> errors;
  if (!ParseModule("Sub S\n" + body + "End Sub\n", module, errors) || !ResolveModule(module, syms, errors)) {
    return "compile error: " + errors.at(0).message;
  }
  const Symbol* s = syms.scope.at("S");
  CodeBuffer code;
  std::vector<int> labelIndex;
  GenerateProcedure(*s, code, labelIndex);
  Handles handles;
  std::vector<uint8_t> bytes;
  std::vector<int> offsets;
  std::string error;
  if (!Assemble(code, handles, bytes, offsets, error)) return error;
  InstructionList list;
  if (!ReadInstructions(bytes, list)) return "unreadable";
  list.pop_back();  // OpEndSub is not part of a decoded procedure
  std::set<int> labels;
  for (int i : labelIndex) labels.insert(offsets[i]);
  // Passes that look at the instruction after a jump target must find one.
  for (const auto& in : list) {
    auto* j = dynamic_cast<OpJmp*>(in.get());
    if (j && j->target() >= list.back()->offset) return "jump target is the last instruction";
  }
  try {
    MarkControlStructures(list, [&](int32_t offset) { return labels.count(offset) != 0; }, 0);
  } catch (const std::exception& e) {
    return std::string("marking failed: ") + e.what();
  }

  std::string out;
  for (const auto& in : list) {
    std::string item = std::string(in->name()).substr(2);
    if (auto* l = dynamic_cast<OpLine*>(in.get())) {
      item += std::to_string(l->line);
      if (l->isCaseLine) item += "*";
      for (auto& a : l->annotations) item += "+" + a.second;
    }
    if (auto* j = dynamic_cast<OpJmp*>(in.get())) item += ":" + std::to_string(j->kind());
    if (auto* z = dynamic_cast<OpJZ*>(in.get())) item += ":" + std::to_string(z->mark);
    if (auto* z = dynamic_cast<OpJNZ*>(in.get())) item += ":" + std::to_string(z->mark);
    if (auto* p = dynamic_cast<OpStmtSep*>(in.get()); p && p->mark) item += ":" + std::to_string(p->mark);
    if (auto* p = dynamic_cast<OpPop*>(in.get()); p && p->mark) item += ":" + std::to_string(p->mark);
    const bool keep = item.rfind("Line", 0) == 0 || item.find(':') != std::string::npos ||
                      item == "Dup" || item == "Pop" || item == "For" || item == "Next" ||
                      item == "ForAll" || item == "NextForAll";
    if (!keep) continue;
    if (!out.empty()) out += ' ';
    out += item;
  }
  return out;
}

TEST(LscMarking, WhileAndDoWhileAreTestedByTheirBackEdge) {
  // Back-edge kind 1; the head test mark 2; Exit Do after a back-edge kind 7.
  EXPECT_EQ(Marked("  While x < 3\n    x = x + 1\n  Wend\n"), "Line2 JZ:2 Line3 Line4 Jmp:1 Line5");
  EXPECT_EQ(Marked("  Do Until x\n    If x Then Exit Do\n  Loop\n"),
            "Line2 JNZ:2 Line3 JZ:0 Jmp:7 Line4 Jmp:1 Line5");
}

TEST(LscMarking, DoLoopWithItsTestAtTheFootMarksItsHead) {
  EXPECT_EQ(Marked("  Do\n    x = 1\n  Loop While x\n"), "Line2 StmtSep:1 Line3 Line4 JNZ:1 Line5");
  EXPECT_EQ(Marked("  Do\n    x = 1\n  Loop Until x\n"), "Line2 StmtSep:1 Line3 Line4 JZ:1 Line5");
  EXPECT_EQ(Marked("  Do\n    Exit Do\n  Loop\n"), "Line2 StmtSep:1 Line3 Jmp:7 Line4 Jmp:1 Line5");
}

TEST(LscMarking, IfTestsAndTheirEnds) {
  // No Else: an If test (4) and the If's separator marked End If (2).
  EXPECT_EQ(Marked("  If a Then\n    x = 1\n  End If\n"), "Line2 JZ:4 Line3 StmtSep:2 Line5");
  // Else: the jump over the Else part is kind 4.
  EXPECT_EQ(Marked("  If a Then\n    x = 1\n  Else\n    x = 2\n  End If\n"),
            "Line2 JZ:4 Line3 Line4 Jmp:4 Line5 StmtSep:2 Line7");
  // ElseIf: the later test finds its end marked (5); only the last jump
  // over an Else part keeps kind 4.
  EXPECT_EQ(Marked("  If a Then\n    x = 1\n  ElseIf b Then\n    x = 2\n  Else\n    x = 3\n  End If\n"),
            "Line2 JZ:4 Line3 Line4 Jmp:3 JZ:5 Line5 Line6 Jmp:4 Line7 StmtSep:2 Line9");
}

TEST(LscMarking, SelectCaseLinesAndItsExit) {
  EXPECT_EQ(Marked("  Select Case x\n  Case 1, 2\n    y = 1\n  Case 3\n    y = 2\n  Case Else\n"
                   "    y = 3\n  End Select\n"),
            "Line2 Line3* Dup JNZ:3 Dup JZ:3 Pop Line4 Jmp:3 Line5* Dup JZ:3 Pop Line6 Jmp:2 Pop "
            "Line8 StmtSep:3 Line10");
}

TEST(LscMarking, ExitsFromForAndForAll) {
  EXPECT_EQ(Marked("  For i = 1 To 3\n    Exit For\n  Next\n"), "Line2 For Line3 Jmp:5 Line4 Next Line5");
  EXPECT_EQ(Marked("  Dim a(2)\n  ForAll e In a\n    Exit ForAll\n  End ForAll\n"),
            "Line3 ForAll Line4 Jmp:6 Line5 NextForAll Line6");
}

TEST(LscMarking, SelectWithoutCaseElseEndingAProcedure) {
  EXPECT_EQ(Marked("  Select Case x\n  Case 1\n    y = 1\n  End Select\n"),
            "Line2 Line3* Dup JZ:3 Pop Line4 Jmp:2 Pop StmtSep:3 Line6");
}

TEST(LscMarking, GoToLabelsAreNotStructural) {
  EXPECT_EQ(Marked("top:\n  x = 1\n  GoTo top\n  GoTo bottom\nbottom:\n"),
            "Line2 Line3 Line4 Jmp:0 Line5 Jmp:0 Line6 Line7");
}

}  // namespace
}  // namespace quillet::lsc
