// Module-level parsing: options, module variables, procedures, classes and
// external declarations.
#include "sim/lsc/parser.h"

#include <set>

#include "sim/lsc/lexer.h"
#include "sim/lsrun/arrays.h"
#include "util/ascii.h"

namespace quillet::lsc {

bool IsReservedWord(const std::string& u) {
  static const std::set<std::string> kWords = {
      "ALIAS", "AND", "AS", "BYREF", "BYVAL", "CALL", "CASE", "CLASS", "DECLARE", "DIM",
      "DO", "ELSE", "ELSEIF", "END", "EQV", "ERROR", "EXIT", "FALSE", "FOR", "FORALL",
      "FUNCTION", "GOSUB", "GOTO", "IF", "IMP", "IN", "IS", "LIB", "LOOP", "ME", "MOD",
      "NEW", "NEXT", "NOT", "NOTHING", "ON", "OPTION", "OR", "PRINT", "PRIVATE", "PUBLIC",
      "REM", "RESUME", "RETURN", "SELECT", "SET", "STEP", "SUB", "THEN", "TO", "TRUE",
      "UNTIL", "WEND", "WHILE", "XOR"};
  return kWords.count(u) != 0;
}

StmtPtr BaseNewCall(const std::string& baseName, int line, int column) {
  auto base = std::make_unique<Expr>();
  base->kind = ExprKind::kName;
  base->line = line;
  base->column = column;
  base->text = baseName;
  auto call = std::make_unique<Expr>();
  call->kind = ExprKind::kMember;
  call->line = line;
  call->column = column;
  call->text = "New";
  call->baseCall = true;
  call->left = std::move(base);
  call->hasArgs = true;
  auto s = std::make_unique<Stmt>();
  s->kind = StmtKind::kCall;
  s->line = line;
  s->column = column;
  s->target = std::move(call);
  return s;
}

bool SuffixType(char suffix, TypeKind& kind) {
  switch (suffix) {
    case '%': kind = TypeKind::kInteger; return true;
    case '&': kind = TypeKind::kLong; return true;
    case '!': kind = TypeKind::kSingle; return true;
    case '#': kind = TypeKind::kDouble; return true;
    case '@': kind = TypeKind::kCurrency; return true;
    case '$': kind = TypeKind::kString; return true;
    default: return false;
  }
}

bool Parser::Fail(const Token& at, std::string message) {
  if (!failed_ && errors_.size() < errorLimit_) {
    errors_.push_back({at.line, at.column, std::move(message)});
  }
  failed_ = true;
  return false;
}

void Parser::Recover() {
  pendingNext_ = false;
  while (!Is(Tok::kEnd) && !Is(Tok::kNewline)) Next();
  failed_ = false;
}

bool Parser::Accept(Tok k) {
  if (!Is(k)) return false;
  Next();
  return true;
}

bool Parser::AcceptKw(const char* kw) {
  if (!IsKw(kw)) return false;
  Next();
  return true;
}

bool Parser::ExpectKw(const char* kw) {
  if (AcceptKw(kw)) return true;
  return Fail(std::string("expected '") + kw + "'");
}

bool Parser::Expect(Tok k, const char* what) {
  if (Accept(k)) return true;
  return Fail(std::string("expected ") + what);
}

bool Parser::ExpectName(std::string& name, const char* what) {
  if (!Is(Tok::kIdent) || IsReservedWord(Cur().upper)) {
    return Fail(std::string("expected ") + what);
  }
  name = Cur().text;
  Next();
  return true;
}

bool Parser::ParseType(TypeRef& type) {
  type = TypeRef{};
  if (!AcceptKw("AS")) return true;
  if (!Is(Tok::kIdent)) return Fail("expected a type name after 'As'");
  const std::string& u = Cur().upper;
  if (u == "INTEGER") {
    type.kind = TypeKind::kInteger;
  } else if (u == "LONG") {
    type.kind = TypeKind::kLong;
  } else if (u == "STRING") {
    type.kind = TypeKind::kString;
  } else if (u == "VARIANT") {
    type.kind = TypeKind::kVariant;
  } else if (u == "DOUBLE") {
    type.kind = TypeKind::kDouble;
  } else if (u == "SINGLE") {
    type.kind = TypeKind::kSingle;
  } else if (u == "CURRENCY") {
    type.kind = TypeKind::kCurrency;
  } else if (u == "BOOLEAN") {
    type.kind = TypeKind::kBoolean;
  } else if (u == "BYTE") {
    type.kind = TypeKind::kByte;
  } else if (IsReservedWord(u)) {
    return Fail("expected a type name after 'As'");
  } else {
    type.kind = TypeKind::kObject;
    type.className = Cur().text;
  }
  Next();
  return true;
}

bool Parser::ParseOption(Module& m) {
  if (AcceptKw("PUBLIC")) {
    m.optionPublic = true;
    return true;
  }
  if (AcceptKw("DECLARE") || AcceptKw("EXPLICIT")) {
    m.optionDeclare = true;
    return true;
  }
  if (AcceptKw("BASE")) {
    if (!Is(Tok::kNumber) || Cur().isReal || (Cur().number != 0 && Cur().number != 1)) {
      return Fail("expected 0 or 1 after 'Option Base'");
    }
    optionBase_ = static_cast<int>(Cur().number);
    Next();
    return true;
  }
  if (AcceptKw("COMPARE")) {
    // Binary and Case compare strings as they are; NoCase and Text without
    // case; Pitch and NoPitch change nothing for the texts a script holds.
    do {
      if (AcceptKw("BINARY") || AcceptKw("CASE") || AcceptKw("PITCH") || AcceptKw("NOPITCH")) continue;
      if (!AcceptKw("NOCASE") && !AcceptKw("TEXT")) return Fail("expected 'Binary', 'Case', 'NoCase' or 'Text' after 'Option Compare'");
      m.compareText = true;
    } while (Accept(Tok::kComma));
    return true;
  }
  return Fail("expected 'Public' or 'Declare' after 'Option'");
}

// name [( [lower To] upper )] [As [New] type [(args)]] {, ...}
bool Parser::ParseDimList(std::vector<VarDecl>& out, bool allowNewArgs) {
  do {
    VarDecl d;
    d.line = Cur().line;
    d.column = Cur().column;
    const char suffix = Cur().suffix;
    if (!ExpectName(d.name, "a variable name")) return false;
    if (AcceptKw("LIST")) {
      d.isList = true;
    } else if (Is(Tok::kLParen) && Ahead(1).kind == Tok::kRParen) {
      Next();
      Next();
      d.isArray = true;
      d.dynamic = true;
      d.upper = -1;  // no elements
    } else if (Accept(Tok::kLParen)) {
      auto bound = [&](int& v) {
        bool neg = Accept(Tok::kMinus);
        if (!Is(Tok::kNumber) || Cur().number > 32767) return Fail("expected an array bound (a constant number)");
        v = static_cast<int>(neg ? -Cur().number : Cur().number);
        Next();
        return true;
      };
      d.isArray = true;
      int64_t elements = 1;
      do {
        if (d.bounds.size() == lsrun::kMaxArrayDims) return Fail("arrays of more than 8 dimensions are not supported");
        int first = 0, lower = optionBase_, upper = 0;
        if (!bound(first)) return false;
        if (AcceptKw("TO")) {
          lower = first;
          if (!bound(upper)) return false;
        } else {
          upper = first;
        }
        if (upper < lower) return Fail("array upper bound is below its lower bound");
        elements *= upper - lower + 1;
        if (elements > static_cast<int64_t>(lsrun::kMaxDeclaredElements)) return Fail("array has too many elements");
        d.bounds.emplace_back(lower, upper);
      } while (Accept(Tok::kComma));
      d.lower = d.bounds[0].first;
      d.upper = d.bounds[0].second;
      if (!Expect(Tok::kRParen, "')'")) return false;
    }
    if (IsKw("AS") && Ahead(1).kind == Tok::kIdent && Ahead(1).upper == "NEW") {
      Next();
      Next();
      d.autoNew = true;
      if (!ExpectName(d.type.className, "a class name after 'New'")) return false;
      d.type.kind = TypeKind::kObject;
      if (d.isArray) return Fail("'As New' cannot declare an array");
      if (Is(Tok::kLParen)) {
        if (!allowNewArgs) return Fail("constructor arguments are not allowed here");
        if (!ParseArgs(d.newArgs)) return false;
      }
    } else if (!ParseType(d.type)) {
      return false;
    } else if (suffix != 0) {
      if (IsKw("AS") || d.type.kind != TypeKind::kVariant) return Fail("a name with a type suffix cannot have 'As'");
      SuffixType(suffix, d.type.kind);
    }
    out.push_back(std::move(d));
  } while (Accept(Tok::kComma));
  return true;
}

// ( [ByVal] name [As type] {, ...} )
bool Parser::ParseParams(std::vector<Param>& params) {
  if (!Accept(Tok::kLParen)) return true;
  if (Accept(Tok::kRParen)) return true;
  do {
    Param p;
    if (!AcceptKw("BYREF")) p.byVal = AcceptKw("BYVAL");
    p.line = Cur().line;
    p.column = Cur().column;
    const char suffix = Cur().suffix;
    if (!ExpectName(p.name, "a parameter name")) return false;
    if (Accept(Tok::kLParen)) {
      if (!Expect(Tok::kRParen, "')' after an array parameter's name")) return false;
      if (p.byVal) return Fail("an array parameter cannot be ByVal");
      p.isArray = true;
    }
    if (!ParseType(p.type)) return false;
    if (suffix != 0) SuffixType(suffix, p.type.kind);
    params.push_back(std::move(p));
  } while (Accept(Tok::kComma));
  return Expect(Tok::kRParen, "')' after the parameters");
}

namespace {

// A constant value: literals and operators on them.
bool IsConstant(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kInteger:
    case ExprKind::kLong:
    case ExprKind::kReal:
    case ExprKind::kString:
    case ExprKind::kTrue:
    case ExprKind::kFalse:
      return true;
    case ExprKind::kUnary:
      return IsConstant(*e.left);
    case ExprKind::kBinary:
      return e.left && e.right && IsConstant(*e.left) && IsConstant(*e.right);
    default:
      return false;
  }
}

ExprPtr Clone(const Expr& e, int line, int column) {
  auto c = std::make_unique<Expr>();
  c->kind = e.kind;
  c->line = line;
  c->column = column;
  c->value = e.value;
  c->text = e.text;
  c->op = e.op;
  c->suffix = e.suffix;
  c->depth = e.depth;
  if (e.left) c->left = Clone(*e.left, line, column);
  if (e.right) c->right = Clone(*e.right, line, column);
  return c;
}

}  // namespace

bool Parser::ParseConst(bool local) {
  do {
    const Token name = Cur();
    std::string n;
    if (!ExpectName(n, "a constant name")) return false;
    if (!Expect(Tok::kEq, "'=' after the constant's name")) return false;
    ExprPtr value = ParseExpr();
    if (!value) return false;
    if (!IsConstant(*value)) return Fail(name, "the value of Const '" + n + "' must be made of literals");
    auto& scope = local ? localConsts_ : moduleConsts_;
    if (scope.count(name.upper) != 0) return Fail(name, "'" + n + "' is already declared");
    scope.emplace(name.upper, std::move(value));
  } while (Accept(Tok::kComma));
  return true;
}

ExprPtr Parser::ConstantFor(const Token& name) const {
  auto it = localConsts_.find(name.upper);
  if (it == localConsts_.end()) {
    it = moduleConsts_.find(name.upper);
    if (it == moduleConsts_.end()) return nullptr;
  }
  return Clone(*it->second, name.line, name.column);
}

bool Parser::ParseEnd(const char* what) {
  const std::string kw = AsciiUpper(what);
  const Token& word = Ahead(1);
  if (!IsKw("END") || word.kind != Tok::kIdent || word.upper != kw) {
    return Fail(std::string("expected 'End ") + what + "'");
  }
  Next();
  Next();
  return true;
}

// Sub|Function name [(params)] [As type] ... End Sub|Function; the keyword
// itself has been read.
bool Parser::ParseProc(ProcDecl& proc, bool inClass) {
  proc.line = Cur().line;
  proc.column = Cur().column;
  if (inClass && !proc.isFunction && (IsKw("NEW") || IsKw("DELETE"))) {
    proc.name = Cur().upper == "NEW" ? "New" : "Delete";
    Next();
  } else if (!ExpectName(proc.name, proc.isFunction ? "a Function name" : "a Sub name")) {
    return false;
  }
  const char suffix = toks_[pos_ - 1].suffix;
  localConsts_.clear();
  if (!ParseParams(proc.params)) return false;
  if (inClass && proc.name == "New" && Accept(Tok::kComma)) {
    // Sub New(...), Base(args): the base class's New runs first with args.
    const Token at = Cur();
    std::string baseName;
    if (!ExpectName(baseName, "the base class name")) return false;
    StmtPtr s = BaseNewCall(baseName, at.line, at.column);
    if (Is(Tok::kLParen) && !ParseArgs(s->target->args)) return false;
    proc.body.push_back(std::move(s));
  }
  const bool typed = proc.isFunction || proc.property == PropertyKind::kSet;  // a Set's type is its value's
  if (typed && !ParseType(proc.result)) return false;
  if (typed && suffix != 0) SuffixType(suffix, proc.result.kind);
  if (!typed && IsKw("AS")) return Fail("a Sub has no result type");
  if (!AtStatementEnd()) return Fail("expected the end of the line");
  for (StmtPtr& s : ParseBlock()) proc.body.push_back(std::move(s));
  proc.endLine = Cur().line;
  if (proc.property != PropertyKind::kNone) return ParseEnd("Property");
  return ParseEnd(proc.isFunction ? "Function" : "Sub");
}

bool Parser::ParseClass(ClassDecl& cls) {
  cls.line = Cur().line;
  cls.column = Cur().column;
  if (!ExpectName(cls.name, "a class name")) return false;
  if (AcceptKw("AS") && !ExpectName(cls.baseName, "a base class name after 'As'")) return false;
  if (!AtStatementEnd()) return Fail("expected the end of the line");
  while (true) {
    while (Accept(Tok::kNewline) || Accept(Tok::kColon)) {}
    if (Is(Tok::kEnd)) return Fail("expected 'End Class'");
    if (IsKw("END")) return ParseEnd("Class");
    bool ok = true;
    const bool isPrivate = AcceptKw("PRIVATE");
    if (!isPrivate) AcceptKw("PUBLIC");
    const size_t membersBefore = cls.members.size();
    if (AcceptKw("PROPERTY")) {
      ProcDecl p;
      p.isPrivate = isPrivate;
      if (AcceptKw("GET")) {
        p.property = PropertyKind::kGet;
        p.isFunction = true;
      } else if (AcceptKw("SET") || AcceptKw("LET")) {
        p.property = PropertyKind::kSet;
      }
      if (p.property == PropertyKind::kNone) {
        ok = Fail("expected 'Get' or 'Set' after 'Property'");
        SkipBlock("PROPERTY");
      } else {
        ok = ParseProc(p, true);
        if (ok) cls.methods.push_back(std::move(p));
      }
    } else if (AcceptKw("SUB") || IsKw("FUNCTION")) {
      ProcDecl p;
      p.isFunction = AcceptKw("FUNCTION");
      p.isPrivate = isPrivate;
      ok = ParseProc(p, true);
      if (ok) cls.methods.push_back(std::move(p));
    } else if (AcceptKw("DIM") || Is(Tok::kIdent)) {
      ok = ParseDimList(cls.members, false);
      for (size_t k = membersBefore; k < cls.members.size(); ++k) cls.members[k].isPrivate = isPrivate;
    } else {
      ok = Fail("expected a member declaration, 'Sub', 'Function' or 'End Class'");
    }
    if (ok && !AtStatementEnd()) Fail("expected the end of the line");
    if (failed_) Recover();
  }
}

// Type name, then its members ("name As type", one a line), End Type.
bool Parser::ParseTypeBlock(ClassDecl& type) {
  type.line = Cur().line;
  type.column = Cur().column;
  if (!ExpectName(type.name, "a Type name")) return false;
  if (!AtStatementEnd()) return Fail("expected the end of the line");
  while (true) {
    while (Accept(Tok::kNewline) || Accept(Tok::kColon)) {}
    if (Is(Tok::kEnd)) return Fail("expected 'End Type'");
    if (IsKw("END")) return ParseEnd("Type");
    bool ok = false;
    if (IsKw("SUB") || IsKw("FUNCTION") || IsKw("PROPERTY")) {
      const std::string word = Cur().upper;
      Fail("a Type has members only: declare a Class for '" + Cur().text + "'");
      SkipBlock(word.c_str());  // its body would only add follow-on errors
    } else if (Is(Tok::kIdent)) {
      ok = ParseDimList(type.members, false);
    } else {
      Fail("expected a member of the Type or 'End Type'");
    }
    if (ok && !AtStatementEnd()) Fail("expected the end of the line");
    if (failed_) Recover();
  }
}

// Declare Sub|Function name Lib "library" [Alias "alias"] [(params)] [As type]
bool Parser::ParseDeclare(ExternalDecl& ext) {
  AcceptKw("PUBLIC") || AcceptKw("PRIVATE");
  if (AcceptKw("FUNCTION")) {
    ext.isFunction = true;
  } else if (!AcceptKw("SUB")) {
    return Fail("expected 'Sub' or 'Function' after 'Declare'");
  }
  ext.line = Cur().line;
  ext.column = Cur().column;
  if (!ExpectName(ext.name, "a procedure name")) return false;
  if (!ExpectKw("LIB")) return false;
  if (!Is(Tok::kString)) return Fail("expected the library name as a string");
  ext.library = Cur().text;
  Next();
  if (AcceptKw("ALIAS")) {
    if (!Is(Tok::kString)) return Fail("expected the alias as a string");
    ext.alias = Cur().text;
    Next();
  }
  if (!ParseParams(ext.params)) return false;
  if (ext.isFunction) return ParseType(ext.result);
  return true;
}

void Parser::ParseModuleBody(Module& m) {
  while (!Is(Tok::kEnd) && errors_.size() < errorLimit_) {
    if (Accept(Tok::kNewline) || Accept(Tok::kColon)) continue;
    bool ok = true;
    bool scopedConst = (IsKw("PUBLIC") || IsKw("PRIVATE")) && Ahead(1).kind == Tok::kIdent && Ahead(1).upper == "CONST";
    if (scopedConst) Next();
    if (AcceptKw("CONST")) {
      ok = ParseConst(false);
    } else if (IsKw("STATIC") && Ahead(1).kind == Tok::kIdent && (Ahead(1).upper == "SUB" || Ahead(1).upper == "FUNCTION")) {
      Next();
      ProcDecl p;
      p.isStatic = true;
      p.isFunction = AcceptKw("FUNCTION");
      if (!p.isFunction) Next();
      ok = ParseProc(p, false);
      if (ok) m.procs.push_back(std::move(p));
    } else if (IsKw("STATIC")) {
      ok = Fail("'Static' variables are declared inside a Sub or Function");
    } else if (IsKw("PROPERTY")) {
      ok = Fail("'" + Cur().text + "' is only allowed inside a Class");
      SkipBlock("PROPERTY");  // its body would only add follow-on errors
    } else if (AcceptKw("OPTION")) {
      ok = ParseOption(m);
    } else if (AcceptKw("DECLARE")) {
      ExternalDecl ext;
      ok = ParseDeclare(ext);
      if (ok) m.externals.push_back(std::move(ext));
    } else {
      bool scoped = AcceptKw("PUBLIC") || AcceptKw("PRIVATE");
      if (AcceptKw("SUB") || IsKw("FUNCTION")) {
        ProcDecl p;
        p.isFunction = AcceptKw("FUNCTION");
        ok = ParseProc(p, false);
        if (ok) m.procs.push_back(std::move(p));
      } else if (AcceptKw("CLASS")) {
        ClassDecl c;
        ok = ParseClass(c);
        if (ok) m.classes.push_back(std::move(c));
      } else if (AcceptKw("TYPE")) {
        ClassDecl c;
        c.isType = true;
        ok = ParseTypeBlock(c);
        if (ok) m.classes.push_back(std::move(c));
      } else if (AcceptKw("DIM") || (scoped && Is(Tok::kIdent))) {
        ok = ParseDimList(m.variables, true);
      } else {
        ok = Fail("this statement is only allowed inside a Sub or Function");
      }
    }
    if (ok && !AtStatementEnd()) Fail("expected the end of the line");
    if (failed_) Recover();
  }
}

bool ParseModule(std::string_view source, Module& module, std::vector<CompileError>& errors) {
  size_t before = errors.size();
  Parser parser(Tokenize(source, errors), errors);
  if (errors.size() != before) return false;  // lexical errors make parsing noise
  parser.ParseModuleBody(module);
  return errors.size() == before;
}

}  // namespace quillet::lsc
