// Statement parsing: the statement dispatch, blocks and simple statements.
#include "sim/lsc/parser.h"

#include "sim/lsrun/arrays.h"

namespace quillet::lsc {

StmtPtr NewStmt(StmtKind kind, const Token& at) {
  auto s = std::make_unique<Stmt>();
  s->kind = kind;
  s->line = at.line;
  s->column = at.column;
  return s;
}

namespace {

bool IsBlockWord(const Token& t) {
  if (t.kind != Tok::kIdent) return false;
  const std::string& u = t.upper;
  return u == "ELSE" || u == "ELSEIF" || u == "WEND" || u == "LOOP" || u == "NEXT" ||
         u == "CASE" || u == "END";
}

}  // namespace

bool Parser::AtBlockEnd() const {
  // "End" alone is the End statement, not the end of a block.
  if (IsKw("END") && (Ahead(1).kind == Tok::kNewline || Ahead(1).kind == Tok::kColon)) return false;
  return IsBlockWord(Cur());
}

Block Parser::ParseBlock() {
  Block block;
  const bool outerIsFor = inForBlock_;
  inForBlock_ = nextBlockIsFor_;
  nextBlockIsFor_ = false;
  while (errors_.size() < errorLimit_ && !pendingNext_) {
    while (Accept(Tok::kNewline) || Accept(Tok::kColon)) {}
    if (Is(Tok::kEnd) || AtBlockEnd()) break;
    StmtPtr s = ParseStatement();
    if (s && !pendingNext_ && !AtStatementEnd()) Fail("expected the end of the statement");
    if (failed_) {
      // A structure that failed on the word closing an outer block (a missing
      // End If before End Sub) leaves that word for the outer block.
      bool lineStart = pos_ > 0 && (toks_[pos_ - 1].kind == Tok::kNewline || toks_[pos_ - 1].kind == Tok::kColon);
      if (lineStart && AtBlockEnd()) {
        failed_ = false;
        break;
      }
      Recover();
      continue;
    }
    block.push_back(std::move(s));
  }
  inForBlock_ = outerIsFor;
  return block;
}

// Skips an unsupported block up to and including its "End <word>"; stops
// at the end of the source.
void Parser::SkipBlock(const char* word) {
  while (!Is(Tok::kEnd)) {
    if (IsKw("END") && Ahead(1).kind == Tok::kIdent && Ahead(1).upper == word) {
      Next();
      Next();
      return;
    }
    Next();
  }
}

// Statements of the language the compiler does not translate: named, so
// that they are not taken for calls of unknown procedures.
const char* Parser::UnsupportedStatement() const {
  const std::string& u = Cur().upper;
  const Token& next = Ahead(1);
  const bool alone = next.kind == Tok::kNewline || next.kind == Tok::kColon || next.kind == Tok::kEnd;
  if (u == "STOP" && alone) return "Stop";
  return nullptr;
}

StmtPtr Parser::ParseStatement() {
  const Token start = Cur();
  Nest nest(*this);
  if (!nest.ok()) {
    Fail("statements are nested too deeply");
    return nullptr;
  }
  // ".name ..." inside a With: an assignment to or a call of its member.
  if (start.kind == Tok::kDot) {
    if (!withNames_.empty()) return ParseNameStatement(start);
    Fail("'.' outside a With block");
    return nullptr;
  }
  if (start.kind != Tok::kIdent) {
    Fail("expected a statement");
    return nullptr;
  }
  const std::string& u = start.upper;
  if (const char* what = UnsupportedStatement(); what != nullptr) {
    Fail("'" + std::string(what) + "' is not supported");
    return nullptr;
  }
  if (u == "WITH") return ParseWith(start);
  if (IsFileStatement()) return ParseFileStatement(start);
  if (u == "IF") return ParseIf(start);
  if (u == "WHILE") return ParseWhile(start);
  if (u == "DO") return ParseDo(start);
  if (u == "FOR") return ParseFor(start);
  if (u == "FORALL") return ParseForAll(start);
  if (u == "SELECT") return ParseSelect(start);
  if (u == "EXIT") return ParseExit(start);
  if (u == "ON") return ParseOn(start);
  if (u == "PRINT") return ParsePrint(start);
  if (u == "DIM" || u == "STATIC") {
    Next();
    auto s = NewStmt(StmtKind::kDim, start);
    s->isStatic = u == "STATIC";
    if (!ParseDimList(s->decls, true)) return nullptr;
    return s;
  }
  if (u == "SET") {
    Next();
    auto s = NewStmt(StmtKind::kSet, start);
    s->target = ParsePostfix();
    if (!s->target || !Expect(Tok::kEq, "'=' in Set")) return nullptr;
    s->value = ParseExpr();
    return s->value ? std::move(s) : nullptr;
  }
  if (u == "CALL") {
    Next();
    auto s = NewStmt(StmtKind::kCall, start);
    s->target = ParsePostfix();
    if (!s->target) return nullptr;
    if (s->target->kind != ExprKind::kName && s->target->kind != ExprKind::kMember) {
      Fail(start, "'Call' needs a procedure or method name");
      return nullptr;
    }
    return s;
  }
  if (u == "GOTO" || u == "GOSUB") {
    Next();
    auto s = NewStmt(u == "GOTO" ? StmtKind::kGoTo : StmtKind::kGoSub, start);
    std::string label;
    if (!ExpectName(label, "a label name")) return nullptr;
    s->labels.push_back(label);
    return s;
  }
  if (u == "RETURN") {
    Next();
    return NewStmt(StmtKind::kReturn, start);
  }
  if (u == "REDIM") {
    // ReDim [Preserve] name([low To] high) [As type]
    Next();
    auto s = NewStmt(StmtKind::kReDim, start);
    s->preserve = AcceptKw("PRESERVE");
    const Token name = Cur();
    auto target = std::make_unique<Expr>();
    target->kind = ExprKind::kName;
    target->line = name.line;
    target->column = name.column;
    if (!ExpectName(target->text, "an array name after 'ReDim'")) return nullptr;
    if (!Expect(Tok::kLParen, "'(' and the new bounds")) return nullptr;
    // The lower and upper bound of each dimension, in `items`.
    do {
      if (s->items.size() == 2 * lsrun::kMaxArrayDims) {
        Fail("arrays of more than 8 dimensions are not supported");
        return nullptr;
      }
      ExprPtr first = ParseExpr();
      if (!first) return nullptr;
      if (AcceptKw("TO")) {
        s->items.push_back(std::move(first));
        s->items.push_back(ParseExpr());
        if (!s->items.back()) return nullptr;
      } else {
        auto base = std::make_unique<Expr>();  // Option Base
        base->kind = ExprKind::kInteger;
        base->line = start.line;
        base->column = start.column;
        base->value = optionBase_;
        s->items.push_back(std::move(base));
        s->items.push_back(std::move(first));
      }
    } while (Accept(Tok::kComma));
    if (!Expect(Tok::kRParen, "')'")) return nullptr;
    if (IsKw("AS")) {
      Fail("'ReDim ... As' is not supported: declare the type with 'Dim name() As type'");
      return nullptr;
    }
    s->target = std::move(target);
    return s;
  }
  if (u == "ERASE") {
    Next();
    auto s = NewStmt(StmtKind::kErase, start);
    auto target = std::make_unique<Expr>();
    target->kind = ExprKind::kName;
    target->line = Cur().line;
    target->column = Cur().column;
    if (!ExpectName(target->text, "an array name after 'Erase'")) return nullptr;
    if (Is(Tok::kLParen)) {  // Erase list(tag)
      target->hasArgs = true;
      if (!ParseArgs(target->args)) return nullptr;
    }
    s->target = std::move(target);
    return s;
  }
  if (u == "CONST") {
    Next();
    auto s = NewStmt(StmtKind::kDim, start);  // declares, runs nothing
    if (!ParseConst(true)) return nullptr;
    return s;
  }
  if (u == "END") {  // alone: the block words reach here only as the End statement
    Next();
    return NewStmt(StmtKind::kEnd, start);
  }
  if (u == "ERROR") {
    Next();
    auto s = NewStmt(StmtKind::kError, start);
    s->value = ParseExpr();
    if (!s->value) return nullptr;
    if (Accept(Tok::kComma)) {
      ExprPtr message = ParseExpr();
      if (!message) return nullptr;
      s->items.push_back(std::move(message));
    }
    return s;
  }
  if (u == "RESUME") {
    Next();
    if (AcceptKw("NEXT")) return NewStmt(StmtKind::kResumeNext, start);
    if (AtStatementEnd()) return NewStmt(StmtKind::kResume0, start);
    if (Is(Tok::kNumber) && !Cur().isReal && Cur().number == 0) {
      Next();
      return NewStmt(StmtKind::kResume0, start);
    }
    auto s = NewStmt(StmtKind::kResumeLabel, start);
    std::string label;
    if (!ExpectName(label, "'Next' or a label name")) return nullptr;
    s->labels.push_back(label);
    return s;
  }
  // "name:" at the start of a line defines a label.
  bool lineStart = pos_ == 0 || toks_[pos_ - 1].kind == Tok::kNewline;
  if (lineStart && !IsReservedWord(u) && Ahead(1).kind == Tok::kColon) {
    Next();  // the colon stays as the end of the label statement
    auto s = NewStmt(StmtKind::kLabel, start);
    s->labels.push_back(start.text);
    return s;
  }
  if (u == "ME" || !IsReservedWord(u)) return ParseNameStatement(start);
  Fail("'" + start.text + "' cannot start a statement here");
  return nullptr;
}

// Assignment (target = value) or a call with or without parentheses.
StmtPtr Parser::ParseNameStatement(const Token& start) {
  ExprPtr target = ParsePostfix();
  if (!target) return nullptr;
  if (Accept(Tok::kEq)) {
    auto s = NewStmt(StmtKind::kAssign, start);
    s->target = std::move(target);
    s->value = ParseExpr();
    return s->value ? std::move(s) : nullptr;
  }
  if (target->kind != ExprKind::kName && target->kind != ExprKind::kMember) {
    Fail(start, "expected an assignment or a call");
    return nullptr;
  }
  if (!AtStatementEnd() && !IsKw("ELSE")) {
    if (target->hasArgs) {
      Fail("expected the end of the statement");
      return nullptr;
    }
    do {
      ExprPtr arg = ParseExpr();
      if (!arg) return nullptr;
      target->args.push_back(std::move(arg));
    } while (Accept(Tok::kComma));
  }
  auto s = NewStmt(StmtKind::kCall, start);
  s->target = std::move(target);
  return s;
}

// With object / body / End With. The object goes to a hidden local (a name
// no source can spell) when the block starts; ".name" in the body reads it.
StmtPtr Parser::ParseWith(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kWith, start);
  s->value = ParseExpr();
  if (!s->value) return nullptr;
  if (!AtStatementEnd()) {
    Fail("expected the end of the line after the With object");
    return nullptr;
  }
  auto hidden = std::make_unique<Expr>();
  hidden->kind = ExprKind::kName;
  hidden->line = start.line;
  hidden->column = start.column;
  hidden->text = "_With" + std::to_string(++withCount_);
  withNames_.push_back(hidden->text);
  s->target = std::move(hidden);
  s->body = ParseBlock();
  withNames_.pop_back();
  s->endLine = Cur().line;
  if (!ParseEnd("With")) return nullptr;
  return s;
}

StmtPtr Parser::ParsePrint(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kPrint, start);
  while (!AtStatementEnd() && !IsKw("ELSE")) {
    ExprPtr item = ParseExpr();
    if (!item) return nullptr;
    s->items.push_back(std::move(item));
    if (Is(Tok::kComma)) {
      // "," moves on to the next print zone: an item of its own.
      auto zone = std::make_unique<Expr>();
      zone->kind = ExprKind::kPrintZone;
      zone->line = Cur().line;
      zone->column = Cur().column;
      s->items.push_back(std::move(zone));
      Next();
      if (AtStatementEnd() || IsKw("ELSE")) s->printNoNewline = true;
      continue;
    }
    if (!Accept(Tok::kSemicolon)) break;
    if (AtStatementEnd() || IsKw("ELSE")) s->printNoNewline = true;
  }
  if (s->items.size() > 255) {
    Fail(start, "too many Print items");
    return nullptr;
  }
  return s;
}

StmtPtr Parser::ParseExit(const Token& start) {
  Next();
  auto s = NewStmt(StmtKind::kExit, start);
  if (AcceptKw("SUB")) {
    s->exitKind = ExitKind::kSub;
  } else if (AcceptKw("FUNCTION")) {
    s->exitKind = ExitKind::kFunction;
  } else if (AcceptKw("FOR")) {
    s->exitKind = ExitKind::kFor;
  } else if (AcceptKw("FORALL")) {
    s->exitKind = ExitKind::kForAll;
  } else if (AcceptKw("DO")) {
    s->exitKind = ExitKind::kDo;
  } else if (AcceptKw("PROPERTY")) {
    s->exitKind = ExitKind::kProperty;
  } else {
    Fail("expected 'Sub', 'Function', 'Property', 'For', 'ForAll' or 'Do' after 'Exit'");
    return nullptr;
  }
  return s;
}

StmtPtr Parser::ParseOn(const Token& start) {
  Next();
  if (AcceptKw("ERROR")) {
    // On Error [n] ...: a handler for error n alone, or for every error.
    int number = 0;
    if (Is(Tok::kNumber)) {
      if (Cur().isReal || Cur().number < 1 || Cur().number > 32767) {
        Fail("expected an error number from 1 to 32767");
        return nullptr;
      }
      number = static_cast<int>(Cur().number);
      Next();
    }
    if (AcceptKw("RESUME")) {
      if (!ExpectKw("NEXT")) return nullptr;
      auto s = NewStmt(StmtKind::kOnErrorResumeNext, start);
      s->errorNumber = number;
      return s;
    }
    if (!ExpectKw("GOTO")) return nullptr;
    if (Is(Tok::kNumber) && Cur().number == 0) {
      Next();
      auto s = NewStmt(StmtKind::kOnErrorGoTo0, start);
      s->errorNumber = number;
      return s;
    }
    auto s = NewStmt(StmtKind::kOnErrorGoTo, start);
    s->errorNumber = number;
    std::string label;
    if (!ExpectName(label, "a label name or 0")) return nullptr;
    s->labels.push_back(label);
    return s;
  }
  auto s = NewStmt(StmtKind::kOnGoTo, start);
  s->value = ParseExpr();
  if (!s->value) return nullptr;
  if (AcceptKw("GOSUB")) {
    s->kind = StmtKind::kOnGoSub;
  } else if (!ExpectKw("GOTO")) {
    return nullptr;
  }
  do {
    std::string label;
    if (!ExpectName(label, "a label name")) return nullptr;
    s->labels.push_back(label);
  } while (Accept(Tok::kComma));
  if (s->labels.size() > 255) {
    Fail(start, "too many labels in On ... GoTo");
    return nullptr;
  }
  return s;
}

}  // namespace quillet::lsc
