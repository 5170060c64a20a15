// The file statements, each turned into calls of the runner's file
// built-ins ("#OPEN", "#PRINT"... names no source can spell):
//   Open path For Input|Output|Append As [#]n   Call #OPEN(path, mode, n)
//   Close [[#]n {, [#]n}]                       Call #CLOSE([n]) for each
//   Print #n, items                             Call #PRINT(n, item, part) for each
//   Line Input #n, v                            v = #LINEINPUT(n)
//   Input #n, v1, v2                            v1 = #INPUT(n) : v2 = #INPUT(n)
#include "sim/lsc/parser.h"
#include "sim/lsrun/builtin_table.h"
#include "sim/lsrun/files.h"

namespace quillet::lsc {
namespace {

namespace builtin = lsrun::builtin;

ExprPtr Integer(int64_t value, const Token& at) {
  ExprPtr e = NewExpr(ExprKind::kInteger, at);
  e->value = value;
  return e;
}

// A call of built-in `name` with `args`, as an expression.
ExprPtr Builtin(const char* name, const Token& at, std::vector<ExprPtr> args) {
  ExprPtr e = NewExpr(ExprKind::kName, at);
  e->text = name;
  e->hasArgs = true;
  e->args = std::move(args);
  return e;
}

StmtPtr CallStmt(ExprPtr call, const Token& at) {
  auto s = NewStmt(StmtKind::kCall, at);
  s->target = std::move(call);
  return s;
}

template <typename... A>
std::vector<ExprPtr> Args(A&&... a) {
  std::vector<ExprPtr> v;
  (v.push_back(std::forward<A>(a)), ...);
  return v;
}

}  // namespace

bool Parser::IsFileStatement() const {
  const std::string& u = Cur().upper;
  if (Cur().kind != Tok::kIdent) return false;
  if (u == "OPEN" || u == "CLOSE") return true;
  if (u == "PRINT" || u == "INPUT" || u == "WRITE") return Ahead(1).kind == Tok::kHash;
  return u == "LINE" && Ahead(1).kind == Tok::kIdent && Ahead(1).upper == "INPUT";
}

ExprPtr Parser::ParseFileNumber() {
  Accept(Tok::kHash);
  return ParseExpr();
}

StmtPtr Parser::ParseFileStatement(const Token& start) {
  const std::string u = start.upper;
  Next();
  if (u == "OPEN") {
    ExprPtr path = ParseExpr();
    if (!path || !ExpectKw("FOR")) return nullptr;
    lsrun::FileMode mode = lsrun::FileMode::kInput;
    if (AcceptKw("INPUT")) {
      mode = lsrun::FileMode::kInput;
    } else if (AcceptKw("OUTPUT")) {
      mode = lsrun::FileMode::kOutput;
    } else if (AcceptKw("APPEND")) {
      mode = lsrun::FileMode::kAppend;
    } else {
      Fail(Is(Tok::kIdent) ? "'Open ... For " + Cur().text + "' is not supported" : "expected 'Input', 'Output' or 'Append'");
      return nullptr;
    }
    if (IsKw("ACCESS") || IsKw("SHARED") || IsKw("LOCK")) {
      Fail("'Open ... " + Cur().text + "' is not supported");
      return nullptr;
    }
    if (!ExpectKw("AS")) return nullptr;
    ExprPtr number = ParseFileNumber();
    if (!number) return nullptr;
    if (IsKw("LEN")) {
      Fail("'Open ... Len' is not supported");
      return nullptr;
    }
    return CallStmt(Builtin("#OPEN", start, Args(std::move(path), Integer(static_cast<int>(mode), start), std::move(number))),
                    start);
  }
  auto seq = NewStmt(StmtKind::kSequence, start);
  if (u == "CLOSE") {
    if (AtStatementEnd()) {
      seq->body.push_back(CallStmt(Builtin("#CLOSE", start, {}), start));
      return seq;
    }
    do {
      ExprPtr number = ParseFileNumber();
      if (!number) return nullptr;
      seq->body.push_back(CallStmt(Builtin("#CLOSE", start, Args(std::move(number))), start));
    } while (Accept(Tok::kComma));
    return seq;
  }
  if (u == "LINE") Next();  // "Input"
  ExprPtr number = ParseFileNumber();
  if (!number) return nullptr;
  // The number is read again for every part: it is an expression of its own
  // each time, so it must not change anything.
  const bool plain = number->kind == ExprKind::kInteger || (number->kind == ExprKind::kName && !number->hasArgs);
  if (!plain) {
    Fail(start, "the file number must be a number or a variable");
    return nullptr;
  }
  auto copyNumber = [&]() {
    auto e = std::make_unique<Expr>();
    e->kind = number->kind;
    e->line = number->line;
    e->column = number->column;
    e->value = number->value;
    e->text = number->text;
    e->suffix = number->suffix;
    return e;
  };
  if (u == "PRINT") {
    bool newline = true;
    if (Accept(Tok::kComma)) {
      while (!AtStatementEnd()) {
        ExprPtr item = ParseExpr();
        if (!item) return nullptr;
        seq->body.push_back(CallStmt(
            Builtin("#PRINT", start, Args(copyNumber(), std::move(item), Integer(builtin::kPartItem, start))), start));
        newline = true;
        if (Accept(Tok::kComma)) {
          seq->body.push_back(CallStmt(Builtin("#PRINT", start, Args(copyNumber(), Integer(0, start),
                                                                      Integer(builtin::kPartZone, start))),
                                       start));
          newline = false;
        } else if (Accept(Tok::kSemicolon)) {
          newline = false;
        } else {
          break;
        }
      }
    }
    const int part = newline ? builtin::kPartEndLine : builtin::kPartEndNoLine;
    seq->body.push_back(
        CallStmt(Builtin("#PRINT", start, Args(copyNumber(), Integer(0, start), Integer(part, start))), start));
    return seq;
  }
  if (u == "WRITE") {
    // Write #n, a, b: the items joined by commas, texts in quotes, one line.
    if (Accept(Tok::kComma)) {
      bool first = true;
      while (!AtStatementEnd()) {
        if (!first) {
          seq->body.push_back(CallStmt(
              Builtin("#PRINT", start, Args(copyNumber(), Integer(0, start), Integer(builtin::kPartWriteComma, start))), start));
        }
        ExprPtr item = ParseExpr();
        if (!item) return nullptr;
        seq->body.push_back(CallStmt(
            Builtin("#PRINT", start, Args(copyNumber(), std::move(item), Integer(builtin::kPartWriteItem, start))), start));
        first = false;
        if (!Accept(Tok::kComma) && !Accept(Tok::kSemicolon)) break;
      }
    }
    seq->body.push_back(CallStmt(
        Builtin("#PRINT", start, Args(copyNumber(), Integer(0, start), Integer(builtin::kPartEndLine, start))), start));
    return seq;
  }
  // Line Input #n, v / Input #n, v1, v2 ...
  if (!Expect(Tok::kComma, "',' and a variable")) return nullptr;
  do {
    ExprPtr target = ParsePostfix();
    if (!target) return nullptr;
    auto assign = NewStmt(StmtKind::kAssign, start);
    assign->target = std::move(target);
    assign->value = Builtin(u == "LINE" ? "#LINEINPUT" : "#INPUT", start, Args(copyNumber()));
    seq->body.push_back(std::move(assign));
  } while (u == "INPUT" && Accept(Tok::kComma));
  return seq;
}

}  // namespace quillet::lsc
