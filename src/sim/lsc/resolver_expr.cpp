// Name lookup and the resolution of expressions: variables, calls, members,
// New, and implicit variables when Option Declare is off.
#include "sim/lsc/resolver_impl.h"

namespace quillet::lsc {

ExprType Resolver::TypeOf(const Symbol* s) const {
  ExprType t;
  t.kind = s->type.kind;
  t.cls = s->classType;
  return t;
}

Symbol* Resolver::Lookup(const std::string& name) {
  std::string u = UpperName(name);
  if (proc_) {
    if (auto it = proc_->scope.find(u); it != proc_->scope.end()) return it->second;
  }
  if (cls_) {
    if (auto it = cls_->memberScope.find(u); it != cls_->memberScope.end()) return it->second;
  }
  if (auto it = syms_.scope.find(u); it != syms_.scope.end()) return it->second;
  return nullptr;
}

// Without Option Declare an unknown name is a new Variant local.
Symbol* Resolver::Implicit(const Expr& e) {
  if (module_.optionDeclare) {
    Error(e.line, e.column, "'" + e.text + "' is not declared (Option Declare is in effect)");
    return nullptr;
  }
  Symbol* s = syms_.Make(SymKind::kLocal, e.text, e.line, e.column);
  s->owner = proc_;
  s->implicit = true;
  s->slot = proc_->frameSize;
  proc_->frameSize += 4;
  proc_->scope.emplace(UpperName(e.text), s);
  proc_->locals.push_back(s);
  return s;
}

bool Resolver::ResolveArgs(Expr& e, Symbol* callee, size_t expected) {
  bool ok = true;
  if (e.args.size() != expected) {
    ok = Error(e.line, e.column, "'" + callee->name + "' expects " + std::to_string(expected) +
                                     " argument(s), not " + std::to_string(e.args.size()));
  }
  for (ExprPtr& a : e.args) {
    ExprType t;
    ok = ResolveExpr(*a, t) && ok;
  }
  return ok;
}

bool Resolver::ResolveName(Expr& e, ExprType& type) {
  Symbol* s = Lookup(e.text);
  if (!s) {
    if (e.hasArgs) return Error(e.line, e.column, "'" + e.text + "' is not a declared procedure or array");
    s = Implicit(e);
    if (!s) return false;
  }
  e.sym = s;
  switch (s->kind) {
    case SymKind::kModuleVar:
    case SymKind::kLocal:
    case SymKind::kParam:
    case SymKind::kMember:
      type = TypeOf(s);
      if (e.hasArgs && !s->isArray) return Error(e.line, e.column, "'" + e.text + "' is not an array or a procedure");
      if (e.hasArgs && e.args.size() != 1) return Error(e.line, e.column, "'" + e.text + "' has one dimension");
      if (s->isArray && e.hasArgs) {
        ExprType it;
        return ResolveExpr(*e.args[0], it);
      }
      return true;
    case SymKind::kProc:
    case SymKind::kExternal:
      type = TypeOf(s);
      if (s == proc_ && !e.hasArgs) return true;  // the Function's own return value
      if (!s->isFunction) return Error(e.line, e.column, "'" + e.text + "' is a Sub and has no value");
      if (s->owner && s->owner->kind == SymKind::kClass && (s == s->owner->ctor || s == s->owner->dtor)) {
        return Error(e.line, e.column, "'" + e.text + "' cannot be called directly");
      }
      return ResolveArgs(e, s, s->params.size());
    case SymKind::kClass:
      return Error(e.line, e.column, "'" + e.text + "' is a class; create an instance with New");
    case SymKind::kLabel:
      break;
  }
  return Error(e.line, e.column, "'" + e.text + "' cannot be used here");
}

bool Resolver::ResolveMember(Expr& e, ExprType& type) {
  ExprType objType;
  if (!ResolveExpr(*e.left, objType)) return false;
  if (!objType.cls) {
    return Error(e.left->line, e.left->column,
                 "cannot tell the class of this object; declare it with 'As <class>'");
  }
  auto it = objType.cls->memberScope.find(UpperName(e.text));
  if (it == objType.cls->memberScope.end()) {
    return Error(e.line, e.column, "class '" + objType.cls->name + "' has no member '" + e.text + "'");
  }
  Symbol* m = it->second;
  e.sym = m;
  type = TypeOf(m);
  if (m->kind == SymKind::kMember) {
    if (e.hasArgs) return Error(e.line, e.column, "'" + e.text + "' is not a method");
    return true;
  }
  if (m == objType.cls->ctor || m == objType.cls->dtor) {
    return Error(e.line, e.column, "'" + e.text + "' cannot be called directly");
  }
  return ResolveArgs(e, m, m->params.size());
}

bool Resolver::ResolveExpr(Expr& e, ExprType& type) {
  type = ExprType{};
  switch (e.kind) {
    case ExprKind::kInteger:
      type.kind = TypeKind::kInteger;
      return true;
    case ExprKind::kLong:
      type.kind = TypeKind::kLong;
      return true;
    case ExprKind::kString:
      type.kind = TypeKind::kString;
      return true;
    case ExprKind::kTrue:
    case ExprKind::kFalse:
      return true;
    case ExprKind::kNothing:
      type.kind = TypeKind::kObject;
      return true;
    case ExprKind::kMe:
      if (!cls_) return Error(e.line, e.column, "'Me' is only valid inside a class");
      type.kind = TypeKind::kObject;
      type.cls = cls_;
      return true;
    case ExprKind::kName: {
      bool ok = ResolveName(e, type);
      if (ok && e.sym && e.sym->isArray && !e.hasArgs) {
        return Error(e.line, e.column, "the array '" + e.text + "' needs an index here");
      }
      return ok;
    }
    case ExprKind::kMember: {
      bool ok = ResolveMember(e, type);
      if (ok && e.sym->kind == SymKind::kProc && !e.sym->isFunction) {
        return Error(e.line, e.column, "'" + e.text + "' is a Sub and has no value");
      }
      return ok;
    }
    case ExprKind::kUnary: {
      ExprType t;
      return ResolveExpr(*e.left, t);
    }
    case ExprKind::kBinary: {
      ExprType l, r;
      bool ok = ResolveExpr(*e.left, l);
      ok = ResolveExpr(*e.right, r) && ok;
      if (e.op == "&") type.kind = TypeKind::kString;
      return ok;
    }
    case ExprKind::kNew: {
      auto it = syms_.scope.find(UpperName(e.text));
      if (it == syms_.scope.end() || it->second->kind != SymKind::kClass) {
        return Error(e.line, e.column, "unknown class '" + e.text + "'");
      }
      e.sym = it->second;
      type.kind = TypeKind::kObject;
      type.cls = it->second;
      size_t expected = e.sym->ctor ? e.sym->ctor->params.size() : 0;
      return ResolveArgs(e, e.sym, expected);
    }
  }
  return false;
}

}  // namespace quillet::lsc
