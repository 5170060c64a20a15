// Expression parsing by precedence, lowest first: Imp, Eqv, Xor, Or, And,
// Not, comparisons, &, + -, Mod, \, * /, unary minus, ^, postfix.
#include "sim/lsc/parser.h"

#include <algorithm>

namespace quillet::lsc {

ExprPtr NewExpr(ExprKind kind, const Token& at) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->line = at.line;
  e->column = at.column;
  return e;
}

namespace {

// The operator of `t` at a binary level, or empty.
std::string BinaryOp(int level, const Token& t) {
  auto kw = [&](const char* w) { return t.kind == Tok::kIdent && t.upper == w; };
  switch (level) {
    case 0: return kw("IMP") ? "IMP" : "";
    case 1: return kw("EQV") ? "EQV" : "";
    case 2: return kw("XOR") ? "XOR" : "";
    case 3: return kw("OR") ? "OR" : "";
    case 4: return kw("AND") ? "AND" : "";
    case 5:
      switch (t.kind) {
        case Tok::kEq: return "=";
        case Tok::kNe: return "<>";
        case Tok::kLt: return "<";
        case Tok::kLe: return "<=";
        case Tok::kGt: return ">";
        case Tok::kGe: return ">=";
        default: return kw("LIKE") ? "LIKE" : kw("IS") ? "IS" : "";
      }
    case 6: return t.kind == Tok::kAmp ? "&" : "";
    case 7: return t.kind == Tok::kPlus ? "+" : t.kind == Tok::kMinus ? "-" : "";
    case 8: return kw("MOD") ? "MOD" : "";
    case 9: return t.kind == Tok::kBackslash ? "\\" : "";
    case 10: return t.kind == Tok::kStar ? "*" : t.kind == Tok::kSlash ? "/" : "";
    default: return "";
  }
}

constexpr int kNotLevel = 5;   // Not binds looser than comparisons
constexpr int kLastLevel = 10;

void ClassifyLiteral(Expr& e) {
  e.kind = (e.value >= -32768 && e.value <= 32767) ? ExprKind::kInteger : ExprKind::kLong;
}

}  // namespace

bool Parser::CheckDepth(Expr& e) {
  int below = 0;
  if (e.left) below = std::max(below, e.left->depth);
  if (e.right) below = std::max(below, e.right->depth);
  for (const ExprPtr& a : e.args) below = std::max(below, a->depth);
  e.depth = below + 1;
  if (e.depth <= kMaxExprDepth) return true;
  Token at;
  at.line = e.line;
  at.column = e.column;
  return Fail(at, "expression is too complex");
}

ExprPtr Parser::ParseExpr() {
  Nest nest(*this);
  if (!nest.ok()) {
    Fail("expression is nested too deeply");
    return nullptr;
  }
  return ParseBinaryLevel(0);
}

ExprPtr Parser::ParseBinaryLevel(int level) {
  auto operand = [&]() -> ExprPtr {
    if (level + 1 == kNotLevel) return ParseNot();
    if (level == kLastLevel) return ParseUnary();
    return ParseBinaryLevel(level + 1);
  };
  ExprPtr left = operand();
  if (!left) return nullptr;
  while (true) {
    std::string op = BinaryOp(level, Cur());
    if (op.empty()) return left;
    const Token at = Cur();
    Next();
    ExprPtr right = operand();
    if (!right) return nullptr;
    auto e = NewExpr(ExprKind::kBinary, at);
    e->op = op;
    e->left = std::move(left);
    e->right = std::move(right);
    if (!CheckDepth(*e)) return nullptr;
    left = std::move(e);
  }
}

ExprPtr Parser::ParseNot() {
  if (IsKw("NOT")) {
    const Token at = Cur();
    Next();
    Nest nest(*this);
    if (!nest.ok()) {
      Fail(at, "expression is nested too deeply");
      return nullptr;
    }
    ExprPtr operand = ParseNot();
    if (!operand) return nullptr;
    auto e = NewExpr(ExprKind::kUnary, at);
    e->op = "NOT";
    e->left = std::move(operand);
    return CheckDepth(*e) ? std::move(e) : nullptr;
  }
  return ParseBinaryLevel(kNotLevel);
}

ExprPtr Parser::ParseUnary() {
  if (Is(Tok::kMinus) || Is(Tok::kPlus)) {
    const Token at = Cur();
    const bool minus = Is(Tok::kMinus);
    Next();
    Nest nest(*this);
    if (!nest.ok()) {
      Fail(at, "expression is nested too deeply");
      return nullptr;
    }
    ExprPtr operand = ParseUnary();
    if (!operand || !minus) return operand;
    if (operand->kind == ExprKind::kInteger || (operand->kind == ExprKind::kLong && operand->suffix == 0)) {
      operand->value = -operand->value;
      operand->line = at.line;
      operand->column = at.column;
      ClassifyLiteral(*operand);
      return operand;
    }
    if (operand->kind == ExprKind::kReal || operand->kind == ExprKind::kLong) {
      operand->value = -operand->value;
      if (operand->kind == ExprKind::kReal) operand->text = "-" + operand->text;
      operand->line = at.line;
      operand->column = at.column;
      return operand;
    }
    auto e = NewExpr(ExprKind::kUnary, at);
    e->op = "-";
    e->left = std::move(operand);
    return CheckDepth(*e) ? std::move(e) : nullptr;
  }
  return ParsePower();
}

ExprPtr Parser::ParsePower() {
  ExprPtr left = ParsePostfix();
  if (!left) return nullptr;
  while (Is(Tok::kCaret)) {
    const Token at = Cur();
    Next();
    ExprPtr right = ParsePostfix();
    if (!right) return nullptr;
    auto e = NewExpr(ExprKind::kBinary, at);
    e->op = "^";
    e->left = std::move(left);
    e->right = std::move(right);
    if (!CheckDepth(*e)) return nullptr;
    left = std::move(e);
  }
  return left;
}

bool Parser::ParseArgs(std::vector<ExprPtr>& args) {
  if (!Expect(Tok::kLParen, "'('")) return false;
  if (Accept(Tok::kRParen)) return true;
  do {
    ExprPtr a = ParseExpr();
    if (!a) return false;
    args.push_back(std::move(a));
  } while (Accept(Tok::kComma));
  return Expect(Tok::kRParen, "')'");
}

ExprPtr Parser::ParsePostfix() {
  ExprPtr e = ParsePrimary();
  while (e && Is(Tok::kDot)) {
    Next();
    // Class..method: that class's own method, called on Me.
    const bool baseCall = e->kind == ExprKind::kName && !e->hasArgs && Accept(Tok::kDot);
    const Token at = Cur();
    auto m = NewExpr(ExprKind::kMember, at);
    m->baseCall = baseCall;
    if (baseCall && IsKw("NEW")) {
      m->text = "New";
      Next();
    } else if (!ExpectName(m->text, "a member name after '.'")) {
      return nullptr;
    }
    m->left = std::move(e);
    if (Is(Tok::kLParen)) {
      m->hasArgs = true;
      if (!ParseArgs(m->args)) return nullptr;
    }
    if (!CheckDepth(*m)) return nullptr;
    e = std::move(m);
  }
  return e;
}

ExprPtr Parser::ParsePrimary() {
  const Token at = Cur();
  switch (at.kind) {
    case Tok::kNumber: {
      auto e = NewExpr(ExprKind::kInteger, at);
      e->value = at.number;
      e->suffix = at.suffix;
      if (at.isReal) {
        e->kind = ExprKind::kReal;
        e->text = at.text;
      } else if (at.suffix == '&') {
        e->kind = ExprKind::kLong;
      } else {
        ClassifyLiteral(*e);
      }
      Next();
      return e;
    }
    case Tok::kString: {
      auto e = NewExpr(ExprKind::kString, at);
      e->text = at.text;
      Next();
      return e;
    }
    case Tok::kLParen: {
      Next();
      ExprPtr e = ParseExpr();
      if (!e || !Expect(Tok::kRParen, "')'")) return nullptr;
      return e;
    }
    case Tok::kIdent:
      break;
    case Tok::kDot:
      if (!withNames_.empty()) {
        // ".name": the object of the innermost With; the dot stays for the
        // member access that follows.
        auto e = NewExpr(ExprKind::kName, at);
        e->text = withNames_.back();
        return e;
      }
      Fail("'.' outside a With block");
      return nullptr;
    default:
      Fail(at.kind == Tok::kNewline || at.kind == Tok::kEnd ? "expected an expression before the end of the line"
                                                            : "expected an expression");
      return nullptr;
  }
  const std::string& u = at.upper;
  if (u == "ME" || u == "NOTHING" || u == "TRUE" || u == "FALSE") {
    Next();
    return NewExpr(u == "ME" ? ExprKind::kMe : u == "NOTHING" ? ExprKind::kNothing
                   : u == "TRUE" ? ExprKind::kTrue : ExprKind::kFalse, at);
  }
  if (u == "NEW") {
    Next();
    auto e = NewExpr(ExprKind::kNew, at);
    if (!ExpectName(e->text, "a class name after 'New'")) return nullptr;
    if (Is(Tok::kLParen)) {
      e->hasArgs = true;
      if (!ParseArgs(e->args)) return nullptr;
    }
    return CheckDepth(*e) ? std::move(e) : nullptr;
  }
  if (u == "ERROR") {
    // Error / Error$ / Error$(n): the message of the current or a given error.
    Next();
    auto e = NewExpr(ExprKind::kName, at);
    e->text = at.text;
    e->suffix = at.suffix;
    if (Is(Tok::kLParen)) {
      e->hasArgs = true;
      if (!ParseArgs(e->args)) return nullptr;
    }
    return CheckDepth(*e) ? std::move(e) : nullptr;
  }
  if (IsReservedWord(u)) {
    Fail("'" + at.text + "' cannot be used in an expression");
    return nullptr;
  }
  if (Ahead(1).kind != Tok::kLParen) {
    if (ExprPtr constant = ConstantFor(at)) {
      Next();
      return constant;
    }
  }
  auto e = NewExpr(ExprKind::kName, at);
  e->text = at.text;
  e->suffix = at.suffix;
  Next();
  if (Is(Tok::kLParen)) {
    e->hasArgs = true;
    if (!ParseArgs(e->args)) return nullptr;
  }
  return CheckDepth(*e) ? std::move(e) : nullptr;
}

}  // namespace quillet::lsc
