// Code generation: the instruction list of one procedure, in the shapes the
// control-structure marking recognises (see docs/lotusscript-subset.md).
#pragma once

#include <string>
#include <vector>

#include "sim/lsc/ast.h"
#include "sim/lsc/code.h"
#include "sim/lsc/symbols.h"

namespace quillet::lsc {

// Generates the code of `proc` (a resolved procedure symbol) ending with
// OpEndSub. Label symbols of the procedure get the instruction index they
// stand for in `labelIndex` (same order as proc->labels).
void GenerateProcedure(const Symbol& proc, CodeBuffer& out, std::vector<int>& labelIndex);

class ProcCodegen {
 public:
  ProcCodegen(const Symbol& proc, CodeBuffer& out) : proc_(proc), out_(out) {}
  void Run(std::vector<int>& labelIndex);

 private:
  struct Loop {
    ExitKind kind;  // kSub marks a While, which Exit never leaves
    int exitLabel;
  };

  // Statements (codegen_stmt.cpp).
  void Line(int line);
  void ForceLine(int line);
  void Sep() { out_.Emit(kOpStmtSep); }
  void GenBlock(const Block& block);
  void GenStmt(const Stmt& s);
  void GenIf(const Stmt& s);
  void GenSelect(const Stmt& s);
  void GenWhile(const Stmt& s);
  void GenDo(const Stmt& s);
  void GenFor(const Stmt& s);
  void GenForAll(const Stmt& s);
  void GenExit(const Stmt& s);
  void GenDim(const Stmt& s);
  void GenWith(const Stmt& s);
  int LabelOf(const std::string& name);
  // The label's symbol entry (a long jump or On Error GoTo names it).
  const Symbol* LabelSymbol(const std::string& name) const;

  // Expressions (codegen_expr.cpp).
  void GenExpr(const Expr& e);
  void GenPtr(const Expr& e);
  void GenCall(const Expr& e, bool asStatement);
  void GenCallee(const Expr& e);
  void GenArg(const Expr& a);
  void GenBuiltin(const Expr& e, bool asStatement);
  void GenVariable(const Symbol& s, bool ptr);

  const Symbol& proc_;
  CodeBuffer& out_;
  int lastLine_ = -1;
  std::vector<Loop> loops_;
  std::vector<int> labels_;  // code labels of proc_.labels, same order
};

}  // namespace quillet::lsc
