// Code of expressions, assignment targets and calls. Operands are evaluated
// left to right onto the stack; the operator or call instruction follows.
#include <map>

#include "sim/lsc/codegen.h"

namespace quillet::lsc {
namespace {

uint8_t BinaryOpcode(const std::string& op) {
  static const std::map<std::string, uint8_t> kOps = {
      {"+", kOpAdd}, {"-", kOpSub}, {"*", kOpMul}, {"/", kOpDiv}, {"\\", kOpIntDiv},
      {"MOD", kOpMod}, {"^", kOpExp}, {"&", kOpConcat}, {"=", kOpEq}, {"<>", kOpNe},
      {"<", kOpLt}, {"<=", kOpLe}, {">", kOpGt}, {">=", kOpGe}, {"AND", kOpAnd},
      {"OR", kOpOr}, {"XOR", kOpXor}, {"EQV", kOpEqv}, {"IMP", kOpImp}, {"LIKE", kOpLike}, {"IS", kOpIs}};
  return kOps.at(op);
}

}  // namespace

// A variable's value or reference, by where it lives: G module, L local,
// P parameter, T member of Me.
void ProcCodegen::GenVariable(const Symbol& s, bool ptr) {
  switch (s.kind) {
    case SymKind::kModuleVar:
      out_.EmitSym(ptr ? kOpGLoadObjPtr : kOpGLoadObj, &s);
      return;
    case SymKind::kParam:
      out_.EmitSym(ptr ? kOpPLoadObjPtr : kOpPLoadObj, &s);
      return;
    case SymKind::kMember:
      out_.EmitSym(ptr ? kOpTLoadObjPtr : kOpTLoadObj, &s);
      return;
    case SymKind::kLocal:
    case SymKind::kProc:  // a Function's return value lives in its frame
    default:
      out_.EmitSym(ptr ? kOpLLoadObjPtr : kOpLLoadObj, &s);
      return;
  }
}

// The reference an assignment stores through.
void ProcCodegen::GenPtr(const Expr& e) {
  const Symbol& s = *e.sym;
  if (e.kind == ExprKind::kMember) {
    GenExpr(*e.left);
    out_.EmitSym(kOpMLoadObjPtr, &s);
  } else {
    GenVariable(s, true);
  }
  if (s.TakesSubscripts() && e.hasArgs) {
    for (const ExprPtr& a : e.args) GenExpr(*a);
    out_.Emit(kOpElem, static_cast<int32_t>(e.args.size()));
  }
}

// Pushes what OpCallProc calls: a procedure, a declaration, a method of Me
// or a method of an object.
void ProcCodegen::GenCallee(const Expr& e) {
  const Symbol& s = *e.sym;
  if (e.baseCall) {
    out_.EmitSym(kOpLoadBaseProc, &s);  // on Me, without looking for an override
  } else if (e.kind == ExprKind::kMember) {
    GenExpr(*e.left);
    out_.EmitSym(kOpLoadMethod, &s);
  } else if (s.owner && s.owner->kind == SymKind::kClass) {
    out_.EmitSym(kOpLoadMeProc, &s);
  } else {
    out_.EmitSym(kOpLoadProc, &s);
  }
}

// An argument: its reference when it is passed by reference.
void ProcCodegen::GenArg(const Expr& a) {
  if (a.passRef) {
    GenPtr(a);
  } else {
    GenExpr(a);
  }
}

// A built-in: its own instruction, or OpBuiltinDisp after exactly as many
// values as it takes, an OpDefaultArg standing for each omitted one.
void ProcCodegen::GenBuiltin(const Expr& e, bool asStatement) {
  if (e.opcode == kOpIsElement) {
    const Expr& element = *e.args[0];
    GenVariable(*element.sym, false);
    GenExpr(*element.args[0]);
    out_.Emit(kOpIsElement);
    return;
  }
  if (e.opcode == kOpListTag) {
    out_.EmitSym(kOpListTag, e.args[0]->sym);
    return;
  }
  if (e.builtin < 0) {
    for (const ExprPtr& a : e.args) GenExpr(*a);
    out_.Emit(e.opcode);
    return;
  }
  // InStr(s, find) leaves out its leading start; every other omission is
  // at the end.
  const int leading = e.omittedFirst ? 1 : 0;
  for (int k = 0; k < leading; ++k) out_.Emit(kOpDefaultArg);
  for (const ExprPtr& a : e.args) GenExpr(*a);
  for (int k = leading; k < e.omitted; ++k) {
    if (k == e.omitted - 1 && e.textCompare) {
      out_.Emit(kOpInteger, 1);  // compare without case
    } else {
      out_.Emit(kOpDefaultArg);
    }
  }
  out_.Emit(kOpBuiltinDisp, e.builtin);
  if (asStatement && !e.builtinSub) out_.Emit(kOpPop);
}

void ProcCodegen::GenCall(const Expr& e, bool asStatement) {
  if (e.kind == ExprKind::kBuiltin) return GenBuiltin(e, asStatement);
  GenCallee(e);
  for (const ExprPtr& a : e.args) GenArg(*a);
  out_.Emit(kOpCallProc);
  if (asStatement && e.sym->isFunction) out_.Emit(kOpPop);  // the unused result
}

void ProcCodegen::GenExpr(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kInteger:
      out_.Emit(kOpInteger, static_cast<int32_t>(e.value));
      return;
    case ExprKind::kLong:
      out_.EmitText(kOpNumericLiteral, std::to_string(e.value));
      return;
    case ExprKind::kReal:
      // The literal's text with its suffix: the runtime reads the type from it.
      out_.EmitText(kOpNumericLiteral, e.text + (e.suffix ? std::string(1, e.suffix) : std::string()));
      return;
    case ExprKind::kBuiltin:
      return GenBuiltin(e, false);
    case ExprKind::kPrintZone:
      out_.Emit(kOpPrintTab);
      return;
    case ExprKind::kString:
      out_.EmitText(kOpStringLiteral, e.text);
      return;
    case ExprKind::kTrue:
      out_.Emit(kOpTrue);
      return;
    case ExprKind::kFalse:
      out_.Emit(kOpFalse);
      return;
    case ExprKind::kNothing:
      out_.Emit(kOpNothing);
      return;
    case ExprKind::kMe:
      out_.Emit(kOpLoadMe);
      return;
    case ExprKind::kUnary:
      GenExpr(*e.left);
      out_.Emit(e.op == "NOT" ? kOpNot : kOpUMinus);
      return;
    case ExprKind::kBinary:
      GenExpr(*e.left);
      GenExpr(*e.right);
      out_.Emit(BinaryOpcode(e.op));
      return;
    case ExprKind::kNew:
      out_.EmitSym(kOpLoadCtor, e.sym);
      for (const ExprPtr& a : e.args) GenArg(*a);
      out_.Emit(kOpCallProc);
      return;
    case ExprKind::kMember:
      if (e.sym->kind == SymKind::kProc) return GenCall(e, false);
      GenExpr(*e.left);
      out_.EmitSym(kOpMLoadObj, e.sym);
      if (e.sym->TakesSubscripts() && e.hasArgs) {
        for (const ExprPtr& a : e.args) GenExpr(*a);
        out_.Emit(kOpLoadElemFromExpr, static_cast<int32_t>(e.args.size()));
      }
      return;
    case ExprKind::kName: {
      const Symbol& s = *e.sym;
      bool callable = s.kind == SymKind::kProc || s.kind == SymKind::kExternal;
      if (callable && !(&s == &proc_ && !e.hasArgs)) return GenCall(e, false);
      GenVariable(s, false);
      if (s.TakesSubscripts() && e.hasArgs) {
        for (const ExprPtr& a : e.args) GenExpr(*a);
        out_.Emit(kOpLoadElemFromExpr, static_cast<int32_t>(e.args.size()));
      }
      return;
    }
  }
}

}  // namespace quillet::lsc
