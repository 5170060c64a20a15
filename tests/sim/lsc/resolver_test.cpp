// Name resolution: which symbol each name stands for, frame and instance
// layout, Option Declare and the semantic errors.
#include "sim/lsc/resolver.h"

#include <gtest/gtest.h>

#include "sim/lsc/parser.h"

namespace quillet::lsc {
namespace {

struct Resolved {
  Module module;
  ModuleSymbols syms;
  std::vector<CompileError> errors;
  bool ok = false;
};

std::unique_ptr<Resolved> Resolve(const std::string& src) {
  auto r = std::make_unique<Resolved>();
  r->ok = ParseModule(src, r->module, r->errors) && ResolveModule(r->module, r->syms, r->errors);
  return r;
}

std::string FirstError(const Resolved& r) {
  if (r.errors.empty()) return "(none)";
  const CompileError& e = r.errors.front();
  return std::to_string(e.line) + ":" + std::to_string(e.column) + " " + e.message;
}

// A source that does not resolve and the start of its first error.
struct ErrorCase {
  std::string src;
  const char* error;
};

template <size_t N>
void ExpectFirstErrors(const ErrorCase (&cases)[N]) {
  for (const ErrorCase& c : cases) {
    auto r = Resolve(c.src);
    EXPECT_FALSE(r->ok) << c.src;
    EXPECT_EQ(FirstError(*r).rfind(c.error, 0), 0u) << c.src << " gave " << FirstError(*r);
  }
}

TEST(LscResolver, NamesFindTheirInnermostDeclaration) {
  auto r = Resolve(
      "Option Declare\n"
      "Dim x As Integer\n"
      "Dim y As String\n"
      "Class C\n"
      "  x As Long\n"
      "  Sub Bump(ByVal n As Integer)\n"
      "    x = x + n\n"          // member x, not the module x
      "  End Sub\n"
      "End Class\n"
      "Function F(ByVal x As Integer) As Integer\n"
      "  Dim y As Integer\n"
      "  y = x\n"                // local y, parameter x
      "  F = y\n"                // return value
      "End Function\n"
      "Sub Initialize\n"
      "  x = F(2)\n"             // module x, call of F
      "End Sub\n");
  ASSERT_TRUE(r->ok) << FirstError(*r);
  const ProcDecl& bump = r->module.classes[0].methods[0];
  EXPECT_EQ(bump.body[0]->target->sym->kind, SymKind::kMember);
  EXPECT_EQ(bump.body[0]->value->right->sym->kind, SymKind::kParam);
  const ProcDecl& f = r->module.procs[0];
  EXPECT_EQ(f.body[1]->target->sym->kind, SymKind::kLocal);
  EXPECT_EQ(f.body[1]->value->sym->kind, SymKind::kParam);
  EXPECT_EQ(f.body[2]->target->sym, r->syms.procs[0]);
  const ProcDecl& init = r->module.procs[1];
  EXPECT_EQ(init.body[0]->target->sym->kind, SymKind::kModuleVar);
  EXPECT_EQ(init.body[0]->value->sym, r->syms.procs[0]);
  EXPECT_EQ(r->syms.initialize, r->syms.procs[1]);
}

TEST(LscResolver, LaysOutFramesInstancesAndModuleData) {
  auto r = Resolve(
      "Dim a, b, c\n"
      "Class P\n  m1 As Integer\n  m2 As String\n  Sub New(ByVal v As Integer)\n  End Sub\nEnd Class\n"
      "Sub S(ByVal p1, ByVal p2)\n  Dim l1, l2\n  implicitOne = 1\nEnd Sub\n");
  ASSERT_TRUE(r->ok) << FirstError(*r);
  EXPECT_EQ(r->syms.variables[2]->slot, 8);
  Symbol* cls = r->syms.classes[0];
  EXPECT_EQ(cls->instanceSize, 8);
  EXPECT_EQ(cls->members[1]->slot, 4);
  ASSERT_NE(cls->ctor, nullptr);
  Symbol* s = r->syms.procs[0];
  EXPECT_EQ(s->params[1]->slot, 1);
  ASSERT_EQ(s->locals.size(), 3u);
  EXPECT_EQ(s->locals[2]->slot, 8);
  EXPECT_TRUE(s->locals[2]->implicit);
  EXPECT_EQ(s->frameSize, 12);
}

TEST(LscResolver, MembersResolveThroughTheStaticClass) {
  auto r = Resolve(
      "Class Node\n  value As Integer\n  Function Get() As Integer\n    Get = Me.value\n  End Function\nEnd Class\n"
      "Sub S\n  Dim n As Node\n  Set n = New Node\n  n.value = 3\n  Print n.Get()\n  Call n.Get\nEnd Sub\n");
  ASSERT_TRUE(r->ok) << FirstError(*r);
  const Block& b = r->module.procs[0].body;
  EXPECT_EQ(b[1]->value->sym, r->syms.classes[0]);
  EXPECT_EQ(b[2]->target->sym->kind, SymKind::kMember);
  EXPECT_EQ(b[3]->items[0]->sym->kind, SymKind::kProc);
}

TEST(LscResolver, OptionDeclareRefusesUndeclaredNames) {
  auto r = Resolve("Option Declare\nSub S\n  Dim a As Integer\n  a = b + 1\nEnd Sub\n");
  ASSERT_FALSE(r->ok);
  EXPECT_EQ(FirstError(*r), "4:7 'b' is not declared (Option Declare is in effect)");
  EXPECT_TRUE(Resolve("Sub S\n  a = b + 1\nEnd Sub\n")->ok);  // implicit Variants without it
}

TEST(LscResolver, ReportsSemanticErrorsWithPositions) {
  const ErrorCase cases[] = {
      {"Dim a\nDim A\n", "2:5 'A' is already declared on line 1"},
      {"Sub S\n  GoTo nowhere\nEnd Sub\n", "2:3 label 'nowhere' is not defined in this procedure"},
      {"Sub S\n  Exit For\nEnd Sub\n", "2:3 'Exit For' outside such a loop"},
      {"Function F\n  Exit Sub\nEnd Function\n", "2:3 'Exit Sub' inside a Function (use 'Exit Function')"},
      {"Sub T(ByVal a)\nEnd Sub\nSub S\n  T 1, 2\nEnd Sub\n", "4:3 'T' expects 1 argument(s), not 2"},
      {"Sub T\nEnd Sub\nSub S\n  x = T\nEnd Sub\n", "4:7 'T' is a Sub and has no value"},
      {"Sub S\n  Dim v As Missing\nEnd Sub\n", "2:7 unknown class 'Missing'"},
      {"Class C\n  Private secret As Integer\n  Public shown As Integer\n  Private Sub Hidden\n  End Sub\n"
       "  Sub Peek(other As C)\n    shown = other.secret\n  End Sub\nEnd Class\n"
       "Sub S\n  Dim c As New C\n  c.shown = 1\n  c.Hidden\nEnd Sub\n",
       "13:5 'Hidden' is private to class 'C'"},
      {"Class C\n  Private secret As Integer\nEnd Class\nSub S\n  Dim c As New C\n  Print c.secret\nEnd Sub\n",
       "6:11 'secret' is private to class 'C'"},
      {"Sub S\n  x = 1\n  Err.Number = 1\nEnd Sub\n", "3:3 cannot tell the class of this object; declare it with 'As <class>'"},
      {"Class C\nEnd Class\nSub S\n  Dim v\n  v.go\nEnd Sub\n", "5:3 cannot tell the class of this object"},
      {"Class C\nEnd Class\nSub S\n  Dim v As C\n  Set v = New C\n  v.go\nEnd Sub\n", "6:5 class 'C' has no member 'go'"},
      {"Class C\nEnd Class\nSub S\n  Dim v As C\n  v = New C\nEnd Sub\n", "5:3 use 'Set' to assign an object reference"},
      {"Sub S\n  Print Me\nEnd Sub\n", "2:9 'Me' is only valid inside a class"},
      {"Sub S\nl:\nl:\nEnd Sub\n", "3:1 'l' is already declared on line 2"},
      {"Sub Initialize(ByVal a)\nEnd Sub\n", "1:5 'Initialize' must be a Sub without parameters"},
      {"Sub S\n  Dim a(1 To 3)\n  a = 1\nEnd Sub\n", "3:3 cannot assign to the whole array 'a'"},
      {"Sub S\n  Dim n As Integer\n  ForAll e In n\n  End ForAll\nEnd Sub\n", "3:15 ForAll needs an array variable"},
  };
  ExpectFirstErrors(cases);
}

// Element subscripts against dimensions, and Types: values copied only
// between variables of the same Type, by reference into procedures.
TEST(LscResolver, ArrayDimensionsAndTypesAreChecked) {
  const char* kPoint = "Type Point\n  X As Integer\nEnd Type\n";  // lines 1-3
  const ErrorCase cases[] = {
      {"Sub S\n  Dim a(2, 3) As Integer\n  a(1) = 5\nEnd Sub\n", "3:3 'a' has 2 dimensions"},
      {"Sub S\n  Dim a(2) As Integer\n  Print a(1, 1)\nEnd Sub\n", "3:9 'a' has one dimension"},
      {"Sub S\n  Dim l List As Integer\n  l(1, 2) = 5\nEnd Sub\n", "3:3 'l' has one tag"},
      {"Sub S\n  Dim a(2, 2) As Integer\n  ReDim a(3, 3)\nEnd Sub\n", "3:9 'a' has fixed bounds"},
      {std::string(kPoint) + "Sub S\n  Dim p As Point\n  Set p = Nothing\nEnd Sub\n", "6:7 'Set' needs an object or Variant variable"},
      {std::string(kPoint) + "Sub S\n  Dim p As Point, v\n  v = p\nEnd Sub\n", "6:7 a Type's value can only be assigned"},
      {std::string(kPoint) + "Type Other\n  X As Integer\nEnd Type\nSub S\n  Dim p As Point, o As Other\n  p = o\nEnd Sub\n",
       "9:7 a Type's value can only be assigned"},
      {std::string(kPoint) + "Sub T(ByVal p As Point)\nEnd Sub\n", "4:13 a Type is passed by reference"},
      {std::string(kPoint) + "Function F() As Point\nEnd Function\n", "4:10 a Function cannot return a Type"},
      {std::string(kPoint) + "Sub T(p As Point)\nEnd Sub\nSub S\n  T 5\nEnd Sub\n", "7:5 'p' takes a variable of Type 'Point'"},
      {std::string(kPoint) + "Sub S\n  Dim p As New Point\nEnd Sub\n", "5:7 'Point' is a Type: declare the variable without 'New'"},
      {std::string(kPoint) + "Sub S\n  x = New Point\nEnd Sub\n", "5:7 'Point' is a Type, not a class"},
      {"Type Ring\n  Inner As Wrap\nEnd Type\nType Wrap\n  Back As Ring\nEnd Type\n", "1:6 Type 'Ring' contains itself"},
      {"Type Point\n  X(3) As Integer\nEnd Type\n", "2:3 array members are not supported"},
      // Only a Variant may hold an array to subscript.
      {"Sub S\n  Dim n As Integer\n  Print n(0)\nEnd Sub\n", "3:9 'n' is not an array or a procedure"},
      {"Sub S\n  Dim v As Variant\n  v(1, 2, 3, 4, 5, 6, 7, 8, 9) = 0\nEnd Sub\n", "3:3 an array element takes 1 to 8 subscripts"},
      {"Class C\n  Public n As Long\nEnd Class\nSub S\n  Dim c As New C\n  c.n(0) = 1\nEnd Sub\n", "6:5 'n' is not a method"},
      {"Class C\n  Public v As Variant\nEnd Class\nSub S\n  Dim c As New C\n  Print c.v(1, 2, 3, 4, 5, 6, 7, 8, 9)\nEnd Sub\n",
       "6:11 an array element takes 1 to 8 subscripts"},
  };
  ExpectFirstErrors(cases);
}

// Derived classes: the base must exist and not loop back, members are not
// declared twice, Base..method only names the class or its bases, and a
// base's New runs only from the derived New.
TEST(LscResolver, DerivedClassesAreChecked) {
  const ErrorCase cases[] = {
      {"Class B As Missing\nEnd Class\n", "1:7 unknown base class 'Missing'"},
      {"Class A As B\nEnd Class\nClass B As A\nEnd Class\n", "3:7 class 'B' derives from itself"},
      {"Class A\n  n As Integer\nEnd Class\nClass B As A\n  n As Long\nEnd Class\n", "5:3 'n' is already declared in class 'A'"},
      {"Class A\n  Sub New(x)\n  End Sub\nEnd Class\nClass B As A\nEnd Class\nSub S\n  Dim b As New B\nEnd Sub\n",
       "8:7 'New B' expects 1 argument(s), not 0"},
      {"Class A\nEnd Class\nClass C\nEnd Class\nClass B As A\n  Sub New(x), C(x)\n  End Sub\nEnd Class\n",
       "6:15 'C' is not the base class of 'B'"},
      {"Class A\n  Sub M\n  End Sub\nEnd Class\nClass C\n  Sub M\n    A..M\n  End Sub\nEnd Class\n",
       "7:5 'A..' needs the class or a base class"},
      {"Class A\n  Sub New\n  End Sub\nEnd Class\nClass B As A\n  Sub M\n    A..New\n  End Sub\nEnd Class\n",
       "7:8 a base class's New runs only from the New of its derived class"},
      {"Class A\n  Private p As Integer\nEnd Class\nClass B As A\nEnd Class\nSub S\n  Dim b As New B\n  b.p = 1\nEnd Sub\n",
       "8:5 'p' is private to class 'A'"},
      // Overriding one side of a property keeps the base's other side only
      // where the base has one.
      {"Class A\n  Property Set P As Integer\n  End Property\nEnd Class\nClass B As A\n  Sub M\n    Print A..P\n"
       "  End Sub\nEnd Class\n",
       "7:14 property 'P' has no Get"},
      {"Class A\n  Property Get P As Integer\n  End Property\nEnd Class\nClass B As A\n  Property Get P As Integer\n"
       "  End Property\nEnd Class\nSub S\n  Dim b As New B\n  b.P = 1\nEnd Sub\n",
       "11:5 property 'P' has no Set"},
      {"Class A\n  Property Set P As Integer\n  End Property\nEnd Class\nClass B As A\n  Property Set P As Integer\n"
       "  End Property\nEnd Class\nSub S\n  Dim b As New B\n  Print b.P\nEnd Sub\n",
       "11:11 property 'P' has no Get"},
  };
  ExpectFirstErrors(cases);
}

}  // namespace
}  // namespace quillet::lsc
