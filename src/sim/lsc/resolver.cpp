// Body half of the semantic pass: resolves the names of every statement of
// each procedure.
#include "sim/lsc/resolver.h"

#include "sim/lsc/resolver_impl.h"

namespace quillet::lsc {

void Resolver::ResolveCall(Expr& target) {
  if (target.kind == ExprKind::kMember) {
    ExprType t;
    if (ResolveMember(target, t) && target.sym->kind != SymKind::kProc) {
      Error(target.line, target.column, "'" + target.text + "' is not a method");
    }
    return;
  }
  Symbol* s = Lookup(target.text);
  if (!s) {
    bool handled = false;
    ExprType t;
    ResolveBuiltin(target, t, true, handled);
    if (handled) return;
  }
  if (!s || (s->kind != SymKind::kProc && s->kind != SymKind::kExternal)) {
    Error(target.line, target.column, "'" + target.text + "' is not a declared Sub or Function");
    return;
  }
  if (s->owner && s->owner->kind == SymKind::kClass && (s == s->owner->ctor || s == s->owner->dtor)) {
    Error(target.line, target.column, "'" + target.text + "' cannot be called directly");
    return;
  }
  target.sym = s;
  ResolveArgs(target, s, s->params.size());
}

// `o.P = v` (or `Set o.P = v`, `P = v` in the class) calls the Set of
// property P with v.
void Resolver::PropertyAssignment(Stmt& s, Symbol& property) {
  Symbol* setter = property.isSetter ? &property : property.setter;
  Expr& target = *s.target;
  if (setter == nullptr) {
    Error(target.line, target.column, "property '" + target.text + "' has no Set");
    return;
  }
  s.kind = StmtKind::kCall;
  target.sym = setter;
  target.args.clear();
  target.args.push_back(std::move(s.value));
  target.hasArgs = true;
  ResolveParamArgs(target, setter->params);
}

void Resolver::ResolveTarget(Expr& target, bool isSet) {
  ExprType t;
  if (target.kind != ExprKind::kName && target.kind != ExprKind::kMember) {
    Error(target.line, target.column, "cannot assign to this expression");
    return;
  }
  assigning_ = true;
  bool ok = target.kind == ExprKind::kName ? ResolveName(target, t) : ResolveMember(target, t);
  assigning_ = false;
  if (!ok) return;
  if (target.kind == ExprKind::kBuiltin) {
    Error(target.line, target.column, "cannot assign to the built-in function '" + target.text + "'");
    return;
  }
  const Symbol* s = target.sym;
  if (s->isProperty && s != proc_) return;  // the statement calls the property's Set
  bool returnValue = s == proc_ && s->isFunction && !target.hasArgs;
  bool variable = s->kind == SymKind::kModuleVar || s->kind == SymKind::kLocal ||
                  s->kind == SymKind::kParam || s->kind == SymKind::kMember;
  if (!returnValue && !variable) {
    Error(target.line, target.column, "cannot assign to '" + target.text + "'");
    return;
  }
  if ((s->isArray || s->isList) && !target.hasArgs) {
    Error(target.line, target.column, "cannot assign to the whole array '" + target.text + "'");
    return;
  }
  bool object = t.kind == TypeKind::kObject;
  if (isSet && !object && t.kind != TypeKind::kVariant) {
    Error(target.line, target.column, "'Set' needs an object or Variant variable");
  } else if (!isSet && object) {
    Error(target.line, target.column, "use 'Set' to assign an object reference");
  }
}

void Resolver::CheckLabel(const Stmt& s, const std::string& name) {
  if (proc_->labelScope.count(UpperName(name)) == 0) {
    Error(s.line, s.column, "label '" + name + "' is not defined in this procedure");
  }
}

void Resolver::CollectLabels(const Block& block) {
  for (const StmtPtr& s : block) {
    if (s->kind == StmtKind::kLabel) {
      Symbol* l = syms_.Make(SymKind::kLabel, s->labels[0], s->line, s->column);
      l->owner = proc_;
      if (AddTo(proc_->labelScope, l)) proc_->labels.push_back(l);
    }
    for (const Arm& a : s->arms) CollectLabels(a.body);
    CollectLabels(s->elseBody);
    CollectLabels(s->body);
  }
}

// A Static local lives as a module variable under a name no source can
// spell, reached by its own name only inside its procedure: it keeps its
// value from one call to the next.
void Resolver::DeclareStatic(VarDecl& d) {
  if (d.autoNew) {
    Error(d.line, d.column, "'Static ... As New' is not supported: use 'Static v As C' and 'If v Is Nothing Then Set v = New C'");
    return;
  }
  const Symbol* cls = proc_->owner;
  const std::string hidden = "_" + (cls != nullptr ? cls->name + "_" : std::string()) + proc_->name + "_" + d.name;
  Symbol* v = syms_.Make(SymKind::kModuleVar, hidden, d.line, d.column);
  DeclareVariable(d, v);
  d.sym = v;
  auto [it, added] = proc_->scope.emplace(UpperName(d.name), v);
  if (!added) {
    Error(d.line, d.column, "'" + d.name + "' is already declared on line " + std::to_string(it->second->line));
    return;
  }
  v->slot = static_cast<int>(syms_.variables.size()) * 4;
  syms_.variables.push_back(v);
}

void Resolver::ResolveLocalDim(Stmt& s) {
  for (VarDecl& d : s.decls) {
    if (s.isStatic || proc_->proc->isStatic) {
      DeclareStatic(d);
      continue;
    }
    Symbol* v = syms_.Make(SymKind::kLocal, d.name, d.line, d.column);
    v->owner = proc_;
    DeclareVariable(d, v);
    d.sym = v;
    if (!AddTo(proc_->scope, v)) continue;
    v->slot = proc_->frameSize;
    proc_->frameSize += 4;
    proc_->locals.push_back(v);
    if (d.autoNew && v->classType) {
      const Symbol* ctor = ConstructorOf(v->classType);
      size_t expected = ctor ? ctor->params.size() : 0;
      if (d.newArgs.size() != expected) {
        Error(d.line, d.column, "'New " + v->classType->name + "' expects " + std::to_string(expected) +
                                    " argument(s), not " + std::to_string(d.newArgs.size()));
      }
      for (ExprPtr& a : d.newArgs) {
        ExprType t;
        ResolveExpr(*a, t);
      }
    }
  }
}

void Resolver::ResolveBlock(const Block& block) {
  for (const StmtPtr& s : block) ResolveStmt(*s);
}

void Resolver::ResolveStmt(Stmt& s) {
  ExprType t;
  auto inLoop = [&](ExitKind k) {
    for (ExitKind l : loops_) {
      if (l == k) return true;
    }
    return false;
  };
  switch (s.kind) {
    case StmtKind::kAssign:
      // Err = n sets the error number, unless a variable is called Err.
      if (s.target->kind == ExprKind::kName && !s.target->hasArgs && UpperName(s.target->text) == "ERR" &&
          !Lookup(s.target->text)) {
        s.kind = StmtKind::kErrSet;
        ResolveExpr(*s.value, t);
        break;
      }
      [[fallthrough]];
    case StmtKind::kSet: {
      ResolveTarget(*s.target, s.kind == StmtKind::kSet);
      if (Symbol* p = s.target->sym; p && p->isProperty && p != proc_) {
        PropertyAssignment(s, *p);
        break;
      }
      // A whole array goes into a Variant as a copy of it.
      const bool savedWhole = wholeArrayOk_;
      wholeArrayOk_ = s.kind == StmtKind::kAssign && s.target->sym && !s.target->sym->isProperty &&
                      TypeOf(s.target->sym).kind == TypeKind::kVariant && s.value->kind == ExprKind::kName;
      const bool valueOk = ResolveExpr(*s.value, t);
      wholeArrayOk_ = savedWhole;
      if (!valueOk || !s.target->sym) break;
      // A Type's value is copied only into a variable of the same Type.
      const ExprType target = TypeOf(s.target->sym);
      if ((target.kind == TypeKind::kRecord || t.kind == TypeKind::kRecord) && (target.kind != t.kind || target.cls != t.cls)) {
        Error(s.value->line, s.value->column, "a Type's value can only be assigned to a variable of the same Type");
      }
      break;
    }
    case StmtKind::kErrSet:
      ResolveExpr(*s.value, t);
      break;
    case StmtKind::kError:
      ResolveExpr(*s.value, t);
      for (ExprPtr& item : s.items) ResolveExpr(*item, t);
      break;
    case StmtKind::kResume0:
    case StmtKind::kEnd:
      break;
    case StmtKind::kReDim:
    case StmtKind::kErase: {
      Symbol* a = Lookup(s.target->text);
      const bool variable = a && (a->kind == SymKind::kModuleVar || a->kind == SymKind::kLocal ||
                                  a->kind == SymKind::kParam || a->kind == SymKind::kMember);
      if (s.kind == StmtKind::kErase && variable && a->isList) {
        // Erase l (every element) or Erase l(tag) (that one).
        s.target->sym = a;
        if (s.target->hasArgs) ResolveExpr(*s.target->args[0], t);
        break;
      }
      if (!variable || !a->isArray || s.target->hasArgs) {
        Error(s.target->line, s.target->column, "'" + s.target->text + "' is not an array variable");
      } else if (s.kind == StmtKind::kReDim && a->count != 0) {
        Error(s.target->line, s.target->column, "'" + s.target->text + "' has fixed bounds; declare it with 'Dim " + s.target->text + "()' to ReDim it");
      } else {
        s.target->sym = a;
      }
      for (ExprPtr& bound : s.items) ResolveExpr(*bound, t);
      break;
    }
    case StmtKind::kCall:
      ResolveCall(*s.target);
      break;
    case StmtKind::kPrint:
      for (ExprPtr& item : s.items) ResolveExpr(*item, t);
      break;
    case StmtKind::kIf:
    case StmtKind::kSelect:
      if (s.value) ResolveExpr(*s.value, t);
      for (Arm& a : s.arms) {
        if (a.cond) ResolveExpr(*a.cond, t);
        for (ExprPtr& v : a.values) {
          // Case Is / To: the selector stands on the missing side.
          if (s.kind == StmtKind::kSelect && v->kind == ExprKind::kBinary && (!v->left || v->op == "TO")) {
            if (v->left) ResolveExpr(*v->left, t);
            ResolveExpr(*v->right, t);
          } else {
            ResolveExpr(*v, t);
          }
        }
        ResolveBlock(a.body);
      }
      ResolveBlock(s.elseBody);
      break;
    case StmtKind::kWhile:
    case StmtKind::kDo:
      if (s.value) ResolveExpr(*s.value, t);
      // Exit Do leaves the innermost Do, so a While does not count as one.
      loops_.push_back(s.kind == StmtKind::kDo ? ExitKind::kDo : ExitKind::kSub);
      ResolveBlock(s.body);
      loops_.pop_back();
      break;
    case StmtKind::kFor:
      ResolveTarget(*s.target, false);
      if (s.target->sym && (s.target->sym->isArray || s.target->sym->type.kind == TypeKind::kString)) {
        Error(s.target->line, s.target->column, "the For variable must be numeric");
      }
      ResolveExpr(*s.value, t);
      ResolveExpr(*s.limit, t);
      if (s.step) ResolveExpr(*s.step, t);
      loops_.push_back(ExitKind::kFor);
      ResolveBlock(s.body);
      loops_.pop_back();
      break;
    case StmtKind::kForAll: {
      Expr& arr = *s.value;
      if (arr.kind == ExprKind::kName && !arr.hasArgs) {
        Symbol* a = Lookup(arr.text);
        const bool variable = a && (a->kind == SymKind::kModuleVar || a->kind == SymKind::kLocal ||
                                    a->kind == SymKind::kParam || a->kind == SymKind::kMember);
        // An array, or a Variant that holds one when the loop starts.
        if (variable && (a->isArray || a->isList || a->type.kind == TypeKind::kVariant)) {
          arr.sym = a;
        } else {
          Error(arr.line, arr.column, "ForAll needs an array variable");
        }
      } else {
        Error(arr.line, arr.column, "ForAll needs an array variable");
      }
      // The ForAll variable is declared by the ForAll itself.
      Symbol* v = Lookup(s.target->text);
      if (v && !(v->kind == SymKind::kLocal && v->owner == proc_ && v->implicit)) {
        Error(s.target->line, s.target->column, "the ForAll variable '" + s.target->text + "' is already declared");
      } else if (!v) {
        v = syms_.Make(SymKind::kLocal, s.target->text, s.target->line, s.target->column);
        v->owner = proc_;
        v->implicit = true;
        v->slot = proc_->frameSize;
        proc_->frameSize += 4;
        proc_->scope.emplace(UpperName(v->name), v);
        proc_->locals.push_back(v);
        if (arr.sym && arr.sym->isArray && arr.sym->classType) {
          // It stands for each element: members of their class or Type.
          v->type = arr.sym->type;
          v->classType = arr.sym->classType;
        }
      }
      s.target->sym = v;
      loops_.push_back(ExitKind::kForAll);
      ResolveBlock(s.body);
      loops_.pop_back();
      break;
    }
    case StmtKind::kExit:
      if (s.exitKind == ExitKind::kProperty ||
          (proc_->isProperty && (s.exitKind == ExitKind::kSub || s.exitKind == ExitKind::kFunction))) {
        if (!proc_->isProperty || s.exitKind != ExitKind::kProperty) {
          Error(s.line, s.column, proc_->isProperty ? "use 'Exit Property' inside a Property" : "'Exit Property' outside a Property");
        }
      } else if (s.exitKind == ExitKind::kSub && proc_->isFunction) {
        Error(s.line, s.column, "'Exit Sub' inside a Function (use 'Exit Function')");
      } else if (s.exitKind == ExitKind::kFunction && !proc_->isFunction) {
        Error(s.line, s.column, "'Exit Function' inside a Sub (use 'Exit Sub')");
      } else if ((s.exitKind == ExitKind::kFor || s.exitKind == ExitKind::kForAll ||
                  s.exitKind == ExitKind::kDo) && !inLoop(s.exitKind)) {
        Error(s.line, s.column, std::string("'Exit ") +
                                    (s.exitKind == ExitKind::kFor ? "For" : s.exitKind == ExitKind::kDo ? "Do" : "ForAll") +
                                    "' outside such a loop");
      }
      break;
    case StmtKind::kOnGoTo:
    case StmtKind::kOnGoSub:
      ResolveExpr(*s.value, t);
      [[fallthrough]];
    case StmtKind::kGoTo:
    case StmtKind::kGoSub:
    case StmtKind::kOnErrorGoTo:
    case StmtKind::kResumeLabel:
      for (const std::string& l : s.labels) CheckLabel(s, l);
      break;
    case StmtKind::kDim:
      ResolveLocalDim(s);
      break;
    case StmtKind::kSequence:
      ResolveBlock(s.body);
      break;
    case StmtKind::kWith: {
      // The hidden local takes the object's class, so that ".member" is
      // looked up as on a variable declared with it.
      if (!ResolveExpr(*s.value, t)) {
        ResolveBlock(s.body);
        break;
      }
      if (t.kind != TypeKind::kObject || t.cls == nullptr) {
        Error(s.value->line, s.value->column, "'With' needs an object whose class is known here");
      }
      Symbol* v = syms_.Make(SymKind::kLocal, s.target->text, s.target->line, s.target->column);
      v->owner = proc_;
      v->type.kind = TypeKind::kObject;
      if (t.cls != nullptr) v->type.className = t.cls->name;
      v->classType = t.cls;
      v->slot = proc_->frameSize;
      proc_->frameSize += 4;
      proc_->scope.emplace(UpperName(v->name), v);
      proc_->locals.push_back(v);
      s.target->sym = v;
      ResolveBlock(s.body);
      break;
    }
    case StmtKind::kLabel:
    case StmtKind::kReturn:
    case StmtKind::kOnErrorResumeNext:
    case StmtKind::kOnErrorGoTo0:
    case StmtKind::kResumeNext:
      break;
  }
}

void Resolver::ResolveProc(Symbol* proc) {
  proc_ = proc;
  loops_.clear();
  CollectLabels(proc->proc->body);
  ResolveBlock(proc->proc->body);
  if (proc->frameSize > 0xFFFF) Error(proc->line, proc->column, "too many local variables");
  proc_ = nullptr;
}

void Resolver::ResolveBodies() {
  for (Symbol* p : syms_.procs) {
    cls_ = nullptr;
    ResolveProc(p);
  }
  for (Symbol* c : syms_.classes) {
    cls_ = c;
    for (Symbol* m : c->members) {
      if (m->kind == SymKind::kProc) ResolveProc(m);
    }
  }
  cls_ = nullptr;
}

bool ResolveModule(Module& module, ModuleSymbols& symbols, std::vector<CompileError>& errors) {
  size_t before = errors.size();
  Resolver r(module, symbols, errors);
  r.DeclareModule();
  r.ResolveBodies();
  return errors.size() == before;
}

}  // namespace quillet::lsc
