// Parsing of block structures: If (block and one-line), While, Do, For,
// ForAll and Select Case.
#include "sim/lsc/parser.h"

#include <algorithm>

namespace quillet::lsc {
// Statements of a one-line If, up to Else or the end of the line.
bool Parser::ParseSingleLineBody(Block& body) {
  while (true) {
    if (IsKw("WHILE") || IsKw("DO") || IsKw("FOR") || IsKw("FORALL") || IsKw("SELECT") || IsKw("DIM")) {
      return Fail("'" + Cur().text + "' is not allowed in a one-line If");
    }
    StmtPtr s = ParseStatement();
    if (!s) return false;
    if (s->kind == StmtKind::kLabel) return Fail("a label is not allowed in a one-line If");
    body.push_back(std::move(s));
    if (!Accept(Tok::kColon)) break;
    if (Is(Tok::kNewline) || Is(Tok::kEnd) || IsKw("ELSE")) break;
  }
  if (!Is(Tok::kNewline) && !Is(Tok::kEnd) && !IsKw("ELSE")) return Fail("expected the end of the line");
  return true;
}

StmtPtr Parser::ParseIf(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kIf, start);
  Arm first;
  first.line = start.line;
  first.column = start.column;
  first.cond = ParseExpr();
  if (!first.cond || !ExpectKw("THEN")) return nullptr;
  if (!Is(Tok::kNewline) && !Is(Tok::kEnd)) {
    s->singleLine = true;
    if (!ParseSingleLineBody(first.body)) return nullptr;
    s->arms.push_back(std::move(first));
    if (IsKw("ELSE")) {
      s->hasElse = true;
      s->elseLine = Cur().line;
      Next();
      if (!ParseSingleLineBody(s->elseBody)) return nullptr;
    }
    return s;
  }
  first.body = ParseBlock();
  s->arms.push_back(std::move(first));
  while (IsKw("ELSEIF")) {
    Arm arm;
    arm.line = Cur().line;
    arm.column = Cur().column;
    Next();
    arm.cond = ParseExpr();
    if (!arm.cond || !ExpectKw("THEN")) return nullptr;
    arm.body = ParseBlock();
    s->arms.push_back(std::move(arm));
  }
  if (IsKw("ELSE")) {
    s->hasElse = true;
    s->elseLine = Cur().line;
    Next();
    s->elseBody = ParseBlock();
  }
  if (!ParseEnd("If")) return nullptr;
  return s;
}

StmtPtr Parser::ParseWhile(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kWhile, start);
  s->value = ParseExpr();
  if (!s->value) return nullptr;
  s->body = ParseBlock();
  s->endLine = Cur().line;
  if (!AcceptKw("WEND")) {
    Fail("expected 'Wend'");
    return nullptr;
  }
  return s;
}

StmtPtr Parser::ParseDo(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kDo, start);
  if (IsKw("WHILE") || IsKw("UNTIL")) {
    s->doTestAtTop = true;
    s->doUntil = IsKw("UNTIL");
    Next();
    s->value = ParseExpr();
    if (!s->value) return nullptr;
  }
  s->body = ParseBlock();
  s->endLine = Cur().line;
  if (!AcceptKw("LOOP")) {
    Fail("expected 'Loop'");
    return nullptr;
  }
  if (IsKw("WHILE") || IsKw("UNTIL")) {
    if (s->doTestAtTop) {
      Fail("a Do loop has its condition either after Do or after Loop, not both");
      return nullptr;
    }
    s->doUntil = IsKw("UNTIL");
    Next();
    s->value = ParseExpr();
    if (!s->value) return nullptr;
  }
  return s;
}

StmtPtr Parser::ParseFor(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kFor, start);
  s->target = ParsePrimary();
  if (!s->target) return nullptr;
  if (s->target->kind != ExprKind::kName || s->target->hasArgs) {
    Fail(start, "the For variable must be a plain variable name");
    return nullptr;
  }
  if (!Expect(Tok::kEq, "'=' after the For variable")) return nullptr;
  s->value = ParseExpr();
  if (!s->value || !ExpectKw("TO")) return nullptr;
  s->limit = ParseExpr();
  if (!s->limit) return nullptr;
  if (AcceptKw("STEP")) {
    s->step = ParseExpr();
    if (!s->step) return nullptr;
  }
  nextBlockIsFor_ = true;
  s->body = ParseBlock();
  s->endLine = Cur().line;
  const bool shared = pendingNext_;  // "Next j, i" named this loop after the comma
  pendingNext_ = false;
  if (!shared && !AcceptKw("NEXT")) {
    Fail("expected 'Next'");
    return nullptr;
  }
  if (shared && !Is(Tok::kIdent)) {
    Fail("expected the name of the enclosing For's variable after ','");
    return nullptr;
  }
  if (Is(Tok::kIdent) && !IsReservedWord(Cur().upper)) {
    std::string u;
    for (char c : s->target->text) u.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (Cur().upper != u) {
      Fail("'Next " + Cur().text + "' does not match 'For " + s->target->text + "'");
      return nullptr;
    }
    Next();
    if (Is(Tok::kComma)) {
      if (!inForBlock_) {
        Fail("'Next " + s->target->text + ", ...' must close the For this one is directly in");
        return nullptr;
      }
      Next();
      pendingNext_ = true;
    }
  }
  return s;
}

StmtPtr Parser::ParseForAll(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kForAll, start);
  s->target = ParsePrimary();
  if (!s->target) return nullptr;
  if (s->target->kind != ExprKind::kName || s->target->hasArgs) {
    Fail(start, "the ForAll variable must be a plain name");
    return nullptr;
  }
  if (!ExpectKw("IN")) return nullptr;
  s->value = ParseExpr();
  if (!s->value) return nullptr;
  s->body = ParseBlock();
  s->endLine = Cur().line;
  if (!ParseEnd("ForAll")) return nullptr;
  return s;
}

StmtPtr Parser::ParseSelect(const Token& start) {
  Next();
  if (!ExpectKw("CASE")) return nullptr;
  auto s = NewStmt(StmtKind::kSelect, start);
  s->value = ParseExpr();
  if (!s->value) return nullptr;
  while (Accept(Tok::kNewline) || Accept(Tok::kColon)) {}
  while (IsKw("CASE")) {
    const Token caseTok = Cur();
    Next();
    if (s->hasElse) {
      Fail(caseTok, "'Case Else' must be the last Case");
      return nullptr;
    }
    if (AcceptKw("ELSE")) {
      s->hasElse = true;
      s->elseLine = caseTok.line;
      s->elseBody = ParseBlock();
      continue;
    }
    Arm arm;
    arm.line = caseTok.line;
    arm.column = caseTok.column;
    do {
      // "Is <op> value" compares the selector; "low To high" is a range.
      // Both become a binary node whose missing left side is the selector.
      if (IsKw("IS")) {
        const Token isTok = Cur();
        Next();
        std::string op;
        switch (Cur().kind) {
          case Tok::kEq: op = "="; break;
          case Tok::kNe: op = "<>"; break;
          case Tok::kLt: op = "<"; break;
          case Tok::kLe: op = "<="; break;
          case Tok::kGt: op = ">"; break;
          case Tok::kGe: op = ">="; break;
          default:
            Fail("expected a comparison after 'Case Is'");
            return nullptr;
        }
        Next();
        ExprPtr v = ParseExpr();
        if (!v) return nullptr;
        auto test = std::make_unique<Expr>();
        test->kind = ExprKind::kBinary;
        test->line = isTok.line;
        test->column = isTok.column;
        test->op = op;
        test->right = std::move(v);
        test->depth = test->right->depth + 1;
        arm.values.push_back(std::move(test));
        continue;
      }
      ExprPtr v = ParseExpr();
      if (!v) return nullptr;
      if (IsKw("TO")) {
        const Token toTok = Cur();
        Next();
        ExprPtr high = ParseExpr();
        if (!high) return nullptr;
        auto range = std::make_unique<Expr>();
        range->kind = ExprKind::kBinary;
        range->line = toTok.line;
        range->column = toTok.column;
        range->op = "TO";
        range->depth = std::max(v->depth, high->depth) + 1;
        range->left = std::move(v);
        range->right = std::move(high);
        arm.values.push_back(std::move(range));
        continue;
      }
      arm.values.push_back(std::move(v));
    } while (Accept(Tok::kComma));
    arm.body = ParseBlock();
    s->arms.push_back(std::move(arm));
  }
  if (!ParseEnd("Select")) return nullptr;
  return s;
}

}  // namespace quillet::lsc
