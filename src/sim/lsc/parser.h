// Recursive-descent parser of the LotusScript subset: module level,
// statements and expressions, with error recovery at line ends.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/lsc/ast.h"
#include "sim/lsc/compiler.h"
#include "sim/lsc/token.h"

namespace quillet::lsc {

// Parses `source` into `module`. Returns false when any error (lexical or
// syntactic) was appended to `errors`.
bool ParseModule(std::string_view source, Module& module, std::vector<CompileError>& errors);

class Parser {
 public:
  Parser(std::vector<Token> tokens, std::vector<CompileError>& errors)
      : toks_(std::move(tokens)), errors_(errors) {}

  void ParseModuleBody(Module& m);

 private:
  friend class ParserTestPeer;
  // Token access.
  const Token& Cur() const { return toks_[pos_]; }
  const Token& Ahead(size_t n) const {
    return pos_ + n < toks_.size() ? toks_[pos_ + n] : toks_.back();
  }
  void Next() { if (pos_ + 1 < toks_.size()) ++pos_; }
  bool Is(Tok k) const { return Cur().kind == k; }
  bool IsKw(const char* kw) const { return Cur().kind == Tok::kIdent && Cur().upper == kw; }
  bool AcceptKw(const char* kw);
  bool Accept(Tok k);
  bool ExpectKw(const char* kw);
  bool Expect(Tok k, const char* what);
  bool ExpectName(std::string& name, const char* what);
  bool AtStatementEnd() const { return Is(Tok::kNewline) || Is(Tok::kColon) || Is(Tok::kEnd); }

  // Diagnostics: the first error of a statement wins; later ones are noise.
  bool Fail(const Token& at, std::string message);
  bool Fail(std::string message) { return Fail(Cur(), std::move(message)); }
  void Recover();  // skip to the next line
  bool failed_ = false;

  // Module level (parser.cpp).
  bool ParseOption(Module& m);
  bool ParseDimList(std::vector<VarDecl>& out, bool allowNewArgs);
  bool ParseType(TypeRef& type);
  bool ParseParams(std::vector<Param>& params);
  bool ParseProc(ProcDecl& proc, bool inClass);
  bool ParseClass(ClassDecl& cls);
  bool ParseTypeBlock(ClassDecl& type);
  bool ParseDeclare(ExternalDecl& ext);
  bool ParseEnd(const char* what);

  // Statements (parser_stmt.cpp).
  Block ParseBlock();
  bool AtBlockEnd() const;
  StmtPtr ParseStatement();
  const char* UnsupportedStatement() const;
  void SkipBlock(const char* word);
  StmtPtr ParseIf(const Token& start);
  StmtPtr ParseWhile(const Token& start);
  StmtPtr ParseDo(const Token& start);
  StmtPtr ParseFor(const Token& start);
  StmtPtr ParseForAll(const Token& start);
  StmtPtr ParseSelect(const Token& start);
  StmtPtr ParseExit(const Token& start);
  StmtPtr ParseOn(const Token& start);
  StmtPtr ParsePrint(const Token& start);
  StmtPtr ParseNameStatement(const Token& start);
  StmtPtr ParseWith(const Token& start);
  // Open, Close, Print #, Line Input #, Input # (parser_files.cpp).
  bool IsFileStatement() const;
  StmtPtr ParseFileStatement(const Token& start);
  ExprPtr ParseFileNumber();
  bool ParseSingleLineBody(Block& body);

  // Expressions (parser_expr.cpp), lowest precedence first.
  ExprPtr ParseExpr();
  ExprPtr ParseBinaryLevel(int level);
  ExprPtr ParseNot();
  ExprPtr ParseUnary();
  ExprPtr ParsePower();
  ExprPtr ParsePostfix();
  ExprPtr ParsePrimary();
  bool ParseArgs(std::vector<ExprPtr>& args);

  // Const NAME = value {, ...}: constant values, put in place of the name
  // wherever it is read (module constants everywhere after their
  // declaration, local ones up to the end of their procedure).
  bool ParseConst(bool local);
  ExprPtr ConstantFor(const Token& name) const;
  std::map<std::string, ExprPtr> moduleConsts_;
  std::map<std::string, ExprPtr> localConsts_;
  int optionBase_ = 0;  // Option Base: the lower bound when a declaration names none
  // With blocks open around the statement being parsed: the hidden local
  // each holds its object in, innermost last; ".name" is a member of it.
  std::vector<std::string> withNames_;
  // "Next j, i": the inner For has read "Next j,"; the name after the comma
  // closes the enclosing For, whose block ends here.
  bool pendingNext_ = false;
  bool nextBlockIsFor_ = false;  // the block ParseBlock parses next is a For's body
  bool inForBlock_ = false;      // the block being parsed is a For's body
  int withCount_ = 0;

  // Recursion guard: nested parentheses, Not/minus chains and nested
  // statements share one budget, and an expression tree has a height limit,
  // so that the recursive passes after parsing stay within the stack.
  class Nest {
   public:
    explicit Nest(Parser& p) : p_(p) { ok_ = ++p_.nesting_ <= kMaxNesting; }
    ~Nest() { --p_.nesting_; }
    bool ok() const { return ok_; }

   private:
    Parser& p_;
    bool ok_;
  };
  static constexpr int kMaxNesting = 200;
  static constexpr int kMaxExprDepth = 400;
  bool CheckDepth(Expr& e);
  int nesting_ = 0;

  std::vector<Token> toks_;
  size_t pos_ = 0;
  std::vector<CompileError>& errors_;
  size_t errorLimit_ = kMaxCompileErrors;
};

// A node at the position of `at`.
StmtPtr NewStmt(StmtKind kind, const Token& at);
ExprPtr NewExpr(ExprKind kind, const Token& at);

// True for the words that cannot name a variable, procedure or label.
bool IsReservedWord(const std::string& upper);

}  // namespace quillet::lsc
