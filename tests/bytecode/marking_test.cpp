// Tests of the control-structure marking over the compiled shapes of loops,
// If/ElseIf/Else, Select Case, For/Next and ForAll.
#include "bytecode/marking.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bytecode/module_errors.h"
#include "lsobject/procedure_shape.h"

namespace quillet {
namespace {

using testkit::NoLabels;
using testkit::Shape;
using Annotations = std::vector<std::pair<int32_t, std::string>>;

constexpr int32_t kProcedure = 0x1234;

void Mark(Shape& s, const LabelLookup& isLabel = NoLabels) {
  MarkControlStructures(s.Finish(), isLabel, kProcedure);
}

// Shorthands for the instructions of a statement.
void Call(Shape& s) {
  s.Add<OpLoadProc>(uint16_t{0x40});
  s.Add<OpCallProc>();
}
void Load(Shape& s) { s.Add<OpLLoad>(uint8_t{2}, uint16_t{0x60}); }

TEST(MarkWhileLoop, BackEdgeToAStatementStartMarksTheLoopHead) {
  Shape s;
  auto& head = s.Add<OpStmtSep>();       // 0
  s.Add<OpLine>(uint16_t{10});           // 1  While i < 3
  Load(s);                               // 2
  s.Add<OpSByte>(uint8_t{3});            // 3
  s.Add<OpBinaryOperator>(176);          // 4
  auto& test = s.Jump<OpJZ>(11);         // 5
  s.Add<OpLine>(uint16_t{11});           // 6
  Call(s);                               // 7, 8
  s.Add<OpLine>(uint16_t{12});           // 9  Wend
  auto& back = s.Jump<OpJmp>(0);         // 10
  s.Add<OpLine>(uint16_t{13});           // 11
  Call(s);
  Mark(s);
  EXPECT_EQ(back.kind(), 1);
  EXPECT_EQ(head.mark, 1);
  EXPECT_EQ(test.mark, 4);  // a forward test followed by a statement
}

TEST(MarkWhileLoop, BackEdgeToTheConditionMarksTheTest) {
  Shape s;
  s.Add<OpLine>(uint16_t{10});           // 0  While i < 3
  auto& head = s.Add<OpStmtSep>();       // 1
  Load(s);                               // 2
  s.Add<OpSByte>(uint8_t{3});            // 3
  s.Add<OpBinaryOperator>(176);          // 4
  auto& test = s.Jump<OpJZ>(10);         // 5
  s.Add<OpLine>(uint16_t{11});           // 6
  Call(s);                               // 7, 8
  auto& back = s.Jump<OpJmp>(1);         // 9
  auto& after = s.Add<OpLine>(uint16_t{13});  // 10
  Call(s);
  Mark(s);
  EXPECT_EQ(back.kind(), 1);
  EXPECT_EQ(head.mark, 0);
  EXPECT_EQ(test.mark, 2);  // tested by the back-edge, so no If test
  EXPECT_TRUE(after.annotations.empty());
}

TEST(MarkDoLoop, ConditionalBackEdgeAndExitDo) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});            // 0  Do
  auto& head = s.Add<OpStmtSep>();       // 1
  s.Add<OpLine>(uint16_t{2});            // 2  If c Then Exit Do
  Load(s);                               // 3
  auto& single = s.Jump<OpJZ>(6);        // 4
  auto& exitDo = s.Jump<OpJmp>(12);      // 5
  s.Add<OpLine>(uint16_t{3});            // 6
  Call(s);                               // 7, 8
  s.Add<OpLine>(uint16_t{4});            // 9  Loop While d
  Load(s);                               // 10
  auto& back = s.Jump<OpJNZ>(1);         // 11
  s.Add<OpLine>(uint16_t{5});            // 12
  Call(s);
  Mark(s);
  EXPECT_EQ(back.mark, 1);
  EXPECT_EQ(head.mark, 1);
  EXPECT_EQ(exitDo.kind(), 7);  // lands right after a loop back-edge
  EXPECT_EQ(single.mark, 0);    // a one-line If is followed by its jump, not a statement
}

TEST(MarkDoLoop, LoopUntilBackEdgeIsNoIfTest) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});            // 0  Do
  auto& head = s.Add<OpStmtSep>();       // 1
  s.Add<OpLine>(uint16_t{2});            // 2
  Call(s);                               // 3, 4
  s.Add<OpLine>(uint16_t{3});            // 5  Loop Until d
  Load(s);                               // 6
  auto& back = s.Jump<OpJZ>(1);          // 7
  s.Add<OpLine>(uint16_t{4});            // 8
  Mark(s);
  EXPECT_EQ(back.mark, 1);
  EXPECT_EQ(head.mark, 1);
}

TEST(MarkIf, IfElseIfElseMarksTestsAndTheEndIfLine) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});                // 0  If a Then
  Load(s);                                   // 1
  auto& ifTest = s.Jump<OpJZ>(7);            // 2
  s.Add<OpLine>(uint16_t{2});                // 3
  Call(s);                                   // 4, 5
  auto& overFirst = s.Jump<OpJmp>(18);       // 6
  s.Add<OpLine>(uint16_t{3});                // 7  ElseIf b Then
  Load(s);                                   // 8
  auto& elseIfTest = s.Jump<OpJZ>(14);       // 9
  s.Add<OpLine>(uint16_t{4});                // 10
  Call(s);                                   // 11, 12
  auto& overElse = s.Jump<OpJmp>(18);        // 13
  s.Add<OpLine>(uint16_t{6});                // 14 Else part
  Call(s);                                   // 15, 16
  auto& endIf = s.Add<OpLine>(uint16_t{7});  // 17 End If
  s.Add<OpLine>(uint16_t{8});                // 18
  Call(s);
  Mark(s);
  EXPECT_EQ(ifTest.mark, 4);
  EXPECT_EQ(elseIfTest.mark, 5);  // its end already carries "End If"
  EXPECT_EQ(overElse.kind(), 4);  // the nearest jump over the Else part
  EXPECT_EQ(overFirst.kind(), 3); // set to 4 by the first test, back to 3 by the second
  EXPECT_EQ(endIf.annotations, (Annotations{{ifTest.offset, "End If"}}));
}

TEST(MarkIf, NestedIfsEndingOnOneSeparator) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});            // 0  If a Then
  Load(s);                               // 1
  auto& outer = s.Jump<OpJZ>(9);         // 2
  s.Add<OpLine>(uint16_t{2});            // 3  If b Then
  Load(s);                               // 4
  auto& inner = s.Jump<OpJZ>(9);         // 5
  s.Add<OpLine>(uint16_t{3});            // 6
  Call(s);                               // 7, 8
  auto& end = s.Add<OpStmtSep>();        // 9
  s.Add<OpLine>(uint16_t{6});            // 10
  Mark(s);
  EXPECT_EQ(end.mark, 2);
  EXPECT_EQ(outer.mark, 4);
  EXPECT_EQ(inner.mark, 5);
}

TEST(MarkIf, TestLandingInsideAStatementIsNoIf) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});            // 0
  Load(s);                               // 1
  auto& test = s.Jump<OpJZ>(5);          // 2
  s.Add<OpLine>(uint16_t{2});            // 3
  Load(s);                               // 4
  auto& landing = s.Add<OpLoadProc>(uint16_t{1});  // 5
  s.Add<OpCallProc>();
  Mark(s);
  EXPECT_EQ(test.mark, 0);
  EXPECT_EQ(landing.offset, test.target());
}

TEST(MarkSelectCase, CaseLinesTestsExitAndEndSelect) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});                  // 0  Select Case x
  Load(s);                                     // 1
  auto& case1 = s.Add<OpLine>(uint16_t{2});    // 2  Case 1
  s.Add<OpDup>();                              // 3
  s.Add<OpSByte>(uint8_t{1});                  // 4
  s.Add<OpBinaryOperator>(184);                // 5
  auto& test1 = s.Jump<OpJZ>(12);              // 6
  auto& matched1 = s.Add<OpPop>();             // 7
  s.Add<OpLine>(uint16_t{3});                  // 8
  Call(s);                                     // 9, 10
  auto& exit1 = s.Jump<OpJmp>(27);             // 11
  auto& case2 = s.Add<OpLine>(uint16_t{4});    // 12 Case 2
  auto& case2Sep = s.Add<OpStmtSep>();         // 13
  s.Add<OpDup>();                              // 14
  s.Add<OpSByte>(uint8_t{2});                  // 15
  s.Add<OpBinaryOperator>(184);                // 16
  auto& test2 = s.Jump<OpJZ>(23);              // 17
  s.Add<OpPop>();                              // 18
  s.Add<OpLine>(uint16_t{5});                  // 19
  Call(s);                                     // 20, 21
  auto& exit2 = s.Jump<OpJmp>(27);             // 22
  auto& unmatched = s.Add<OpPop>();            // 23 Case Else
  s.Add<OpLine>(uint16_t{6});                  // 24
  Call(s);                                     // 25, 26
  auto& endSelect = s.Add<OpLine>(uint16_t{7});  // 27 End Select
  s.Add<OpLoadProc>(uint16_t{0x40});           // 28
  s.Add<OpCallProc>();                         // 29
  auto& discarded = s.Add<OpPop>();            // 30 a function result nobody uses
  Mark(s);
  EXPECT_EQ(case1.isCaseLine, 1);
  EXPECT_EQ(case2.isCaseLine, 0);
  EXPECT_EQ(case2Sep.mark, 4);
  EXPECT_EQ(test1.mark, 3);
  EXPECT_EQ(test2.mark, 3);
  EXPECT_EQ(exit1.kind(), 3);
  EXPECT_EQ(exit2.kind(), 2);
  EXPECT_EQ(endSelect.annotations, (Annotations{{exit2.offset, "End Select"}}));
  EXPECT_EQ(matched1.mark, 0);
  EXPECT_EQ(unmatched.mark, 0);
  EXPECT_EQ(discarded.mark, 1);
}

TEST(MarkSelectCase, OutOfLineTestIsACaseDispatch) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});                  // 0  Select Case x
  Load(s);                                     // 1
  auto& dispatch = s.Jump<OpJmp>(9);           // 2
  auto& caseLine = s.Add<OpLine>(uint16_t{2}); // 3
  s.Add<OpDup>();                              // 4
  s.Add<OpSByte>(uint8_t{1});                  // 5
  s.Add<OpBinaryOperator>(184);                // 6
  auto& exit = s.Jump<OpJmp>(13);              // 7
  s.Add<OpStmtSep>();                          // 8
  auto& t0 = s.Add<OpSByte>(uint8_t{3});       // 9  the test code
  auto& t1 = s.Add<OpIntOne>();                // 10
  auto& t2 = s.Add<OpBinaryOperator>(168);     // 11
  auto& back = s.Jump<OpJmp>(3);               // 12
  s.Add<OpLine>(uint16_t{5});                  // 13
  Mark(s);
  EXPECT_EQ(dispatch.kind(), 8);
  EXPECT_EQ(dispatch.caseTargets, (std::vector<int32_t>{t0.offset, t1.offset, t2.offset}));
  EXPECT_EQ(dispatch.caseExtra, 1);
  EXPECT_EQ(dispatch.caseValue, kProcedure);
  EXPECT_EQ(back.kind(), 9);
  EXPECT_EQ(exit.kind(), 3);
  EXPECT_EQ(caseLine.isCaseLine, 1);  // its Dup follows a case dispatch
}

TEST(MarkSelectCase, ScanStopsAtAStatementBoundary) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});                  // 0
  auto& jump = s.Jump<OpJmp>(4);               // 1
  auto& line = s.Add<OpLine>(uint16_t{2});     // 2
  s.Add<OpDup>();                              // 3
  s.Add<OpStmtSep>();                          // 4  skipped as the target
  s.Add<OpLine>(uint16_t{3});                  // 5  ends the scan
  auto& back = s.Jump<OpJmp>(2);               // 6
  s.Add<OpLine>(uint16_t{4});                  // 7
  Mark(s);
  EXPECT_EQ(jump.kind(), 3);
  EXPECT_EQ(back.kind(), 3);
  EXPECT_EQ(line.isCaseLine, 0);  // its Dup follows a plain structural jump
}

TEST(MarkLoops, ExitForAndExitForAll) {
  for (bool forAll : {false, true}) {
    Shape s;
    s.Add<OpLine>(uint16_t{1});              // 0  For / ForAll
    if (forAll) {
      s.Jump<OpForAll>(9);                   // 1
    } else {
      s.Jump<OpFor>(9);                      // 1
    }
    s.Add<OpLine>(uint16_t{2});              // 2  If c Then
    Load(s);                                 // 3
    auto& test = s.Jump<OpJZ>(7);            // 4
    s.Add<OpLine>(uint16_t{3});              // 5  Exit For
    auto& exit = s.Jump<OpJmp>(9);           // 6
    auto& endIf = s.Add<OpLine>(uint16_t{4});  // 7
    if (forAll) {
      s.Jump<OpNextForAll>(2);               // 8
    } else {
      s.Jump<OpNext>(2);                     // 8
    }
    s.Add<OpLine>(uint16_t{5});              // 9
    Call(s);
    Mark(s);
    EXPECT_EQ(exit.kind(), forAll ? 6 : 5);
    EXPECT_EQ(test.mark, 4);
    EXPECT_EQ(endIf.annotations, (Annotations{{test.offset, "End If"}}));
  }
}

TEST(MarkLabels, GoToALabelIsNotStructural) {
  Shape s;
  s.Add<OpLine>(uint16_t{1});            // 0
  auto& goTo = s.Jump<OpJmp>(3);         // 1
  Call(s);                               // 2, 3
  s.Add<OpLine>(uint16_t{2});            // 4
  InstructionList& list = s.Finish();
  const int32_t label = list[3]->offset;
  MarkControlStructures(list, [&](int32_t offset) { return offset == label; }, kProcedure);
  EXPECT_EQ(goTo.kind(), 0);
}

TEST(MarkTargets, MissingTargetsAndNeighboursThrow) {
  {
    // A GoTo to a label beyond the last instruction, followed by a Pop: the
    // Select-exit shape resolves it with InstructionAt.
    Shape s;
    for (int i = 0; i < 0x39; ++i) s.Add<OpStmtSep>();
    s.JumpTo<OpJmp>(0x40);                 // at 0x39
    s.Add<OpPop>();                        // at 0x3C, the last instruction
    InstructionList& list = s.Finish();
    ASSERT_EQ(list.back()->offset, 0x3C);
    try {
      MarkControlStructures(list, [](int32_t offset) { return offset == 0x40; }, kProcedure);
      FAIL() << "marked";
    } catch (const CIllegalArgumentException& e) {
      EXPECT_EQ(e.Message(), "lsobject\\section.cpp(905) - Invalid jump target : 0x40 (should be < 0x3C)\n");
    }
  }
  {
    // A structural jump past the end fails in IndexAt.
    Shape s;
    s.Add<OpLine>(uint16_t{1});
    s.JumpTo<OpJmp>(0x40);
    try {
      Mark(s);
      FAIL() << "marked";
    } catch (const CIllegalArgumentException& e) {
      EXPECT_EQ(e.Message(), "lsobject\\section.cpp (922): Invalid jump target : 0x40 (should be < 0x3)\n");
    }
  }
  {
    // A structural jump back to the first instruction has no instruction before it.
    Shape s;
    s.Add<OpLine>(uint16_t{1});
    s.Jump<OpJmp>(0);
    EXPECT_THROW(Mark(s), std::out_of_range);
  }
}

TEST(JumpTargetLookup, LinearAndIndexedLookupsAgree) {
  InstructionList list;
  // Offsets out of order and one repeated: the first holder of an offset wins.
  for (int32_t offset : {5, 1, 9, 5, 3, 0x3C}) {
    list.push_back(std::make_unique<OpStmtSep>());
    list.back()->offset = offset;
  }
  const InstructionIndex index(list);
  for (int32_t target : {5, 1, 9, 3, 0x3C}) {
    EXPECT_EQ(index.IndexAt(target), IndexAt(list, target)) << target;
    EXPECT_EQ(&index.InstructionAt(target), &InstructionAt(list, target)) << target;
  }
  EXPECT_EQ(IndexAt(list, 5), 0);
  for (int32_t missing : {0x40, -1, 2}) {
    std::string linear, indexed;
    try { IndexAt(list, missing); } catch (const CIllegalArgumentException& e) { linear = e.Message(); }
    try { index.IndexAt(missing); } catch (const CIllegalArgumentException& e) { indexed = e.Message(); }
    EXPECT_FALSE(linear.empty());
    EXPECT_EQ(linear, indexed);
  }
  try {
    InstructionAt(list, 0x40);
    FAIL();
  } catch (const CIllegalArgumentException& e) {
    EXPECT_EQ(e.Message(), "lsobject\\section.cpp(905) - Invalid jump target : 0x40 (should be < 0x3C)\n");
  }
  try {
    index.IndexAt(0x40);
    FAIL();
  } catch (const CIllegalArgumentException& e) {
    EXPECT_EQ(e.Message(), "lsobject\\section.cpp (922): Invalid jump target : 0x40 (should be < 0x3C)\n");
  }
}

TEST(JumpTargetLookup, NextConditionalJump) {
  Shape s;
  s.Add<OpStmtSep>();                    // 0
  s.Jump<OpJmp>(0);                      // 1
  auto& jnz = s.Jump<OpJNZ>(0);          // 2
  auto& jz = s.Jump<OpJZ>(0);            // 3
  InstructionList& list = s.Finish();
  EXPECT_EQ(NextConditionalJump(list, list[0]->offset), &jnz);
  EXPECT_EQ(NextConditionalJump(list, jnz.offset), &jz);
  EXPECT_EQ(NextConditionalJump(list, jz.offset), nullptr);
  EXPECT_EQ(NextConditionalJump(list, 0x99), nullptr);
  const InstructionIndex index(list);
  EXPECT_EQ(index.NextConditionalJumpAfter(0), 2);
  EXPECT_EQ(index.NextConditionalJumpAfter(3), -1);
}

}  // namespace
}  // namespace quillet
