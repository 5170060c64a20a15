// Internal state of the semantic pass, shared by its declaration and body
// halves.
#pragma once

#include <string>
#include <vector>

#include "sim/lsc/resolver.h"

namespace quillet::lsc {

// Static type of an expression, as far as member lookup needs it.
struct ExprType {
  TypeKind kind = TypeKind::kVariant;
  Symbol* cls = nullptr;  // class of an object value, when known
};

class Resolver {
 public:
  Resolver(Module& module, ModuleSymbols& syms, std::vector<CompileError>& errors)
      : module_(module), syms_(syms), errors_(errors) {}

  void DeclareModule();
  void ResolveBodies();

 private:
  bool Error(int line, int column, std::string message);
  bool AddTo(std::map<std::string, Symbol*>& scope, Symbol* s);
  bool BindType(const TypeRef& type, Symbol* s, int line, int column);
  bool DeclareVariable(const VarDecl& d, Symbol* s);
  Symbol* DeclareProc(const ProcDecl& p, Symbol* cls);
  void DeclareClass(const ClassDecl& c, Symbol* cs);
  void DeclareProperty(const ProcDecl& p, Symbol* ms, Symbol* cs);
  bool AddMember(Symbol* cs, Symbol* m);
  void BindBase(Symbol* cs);
  void ChainConstructor(Symbol* cs);
  bool TypeHolds(const Symbol* type, const Symbol* wanted, int depth) const;

  void ResolveProc(Symbol* proc);
  void CollectLabels(const Block& block);
  void ResolveBlock(const Block& block);
  void ResolveStmt(Stmt& s);
  void ResolveLocalDim(Stmt& s);
  void DeclareStatic(VarDecl& d);
  void ResolveCall(Expr& target);
  void ResolveTarget(Expr& target, bool isSet);
  void PropertyAssignment(Stmt& s, Symbol& property);
  bool ResolveExpr(Expr& e, ExprType& type);
  bool ResolveArgs(Expr& e, Symbol* callee, size_t expected);
  // Arguments against the parameters they bind to: a variable, element or
  // member given for a parameter without ByVal is passed by reference.
  bool ResolveParamArgs(Expr& e, const std::vector<Symbol*>& params);
  // A name no declaration claims that names a built-in function; false when
  // it names none (`handled` false) or its use is wrong (`handled` true).
  bool ResolveBuiltin(Expr& e, ExprType& type, bool asStatement, bool& handled);
  bool ResolveName(Expr& e, ExprType& type);
  // An element's subscripts against its array's dimensions (a list: one tag).
  bool SubscriptsFit(const Expr& e, const Symbol& s);
  bool ResolveMember(Expr& e, ExprType& type);
  bool ResolveBaseCall(Expr& e, ExprType& type);
  bool DerivesFrom(const Symbol* cls, const Symbol* base) const;
  const Symbol* ConstructorOf(const Symbol* cls) const;
  Symbol* Lookup(const std::string& name);
  Symbol* Implicit(const Expr& e);
  void CheckLabel(const Stmt& s, const std::string& name);
  ExprType TypeOf(const Symbol* s) const;

  Module& module_;
  ModuleSymbols& syms_;
  std::vector<CompileError>& errors_;
  Symbol* proc_ = nullptr;  // procedure being resolved
  Symbol* cls_ = nullptr;   // its class, for methods
  std::vector<ExitKind> loops_;  // enclosing For/ForAll/Do
  bool wholeArrayOk_ = false;    // an array without index may stand here
  bool assigning_ = false;       // resolving an assignment's target: a property is its Set
};

}  // namespace quillet::lsc
