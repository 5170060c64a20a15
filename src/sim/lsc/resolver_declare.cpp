// Declaration half of the semantic pass: module variables, classes with their
// members and methods, procedures and external declarations.
#include <cctype>

#include "sim/lsc/resolver_impl.h"
#include "sim/lsrun/value.h"
#include "util/ascii.h"

namespace quillet::lsc {

std::string UpperName(const std::string& name) { return AsciiUpper(name); }

bool Resolver::Error(int line, int column, std::string message) {
  errors_.push_back({line, column, std::move(message)});
  return false;
}

bool Resolver::AddTo(std::map<std::string, Symbol*>& scope, Symbol* s) {
  auto [it, fresh] = scope.emplace(UpperName(s->name), s);
  if (!fresh) {
    return Error(s->line, s->column, "'" + s->name + "' is already declared on line " + std::to_string(it->second->line));
  }
  return true;
}

// Object types must name a class or a Type of this module.
bool Resolver::BindType(const TypeRef& type, Symbol* s, int line, int column) {
  s->type = type;
  if (type.kind != TypeKind::kObject) return true;
  auto it = syms_.scope.find(UpperName(type.className));
  if (it == syms_.scope.end() || it->second->kind != SymKind::kClass) {
    return Error(line, column, "unknown class '" + type.className + "'");
  }
  s->classType = it->second;
  if (it->second->cls->isType) s->type.kind = TypeKind::kRecord;
  return true;
}

// A Type that holds itself, directly or through its members' Types, would
// never end.
bool Resolver::TypeHolds(const Symbol* type, const Symbol* wanted, int depth) const {
  if (depth > 64) return true;
  for (const Symbol* m : type->members) {
    if (m->type.kind != TypeKind::kRecord || !m->classType) continue;
    if (m->classType == wanted || TypeHolds(m->classType, wanted, depth + 1)) return true;
  }
  return false;
}

bool Resolver::DeclareVariable(const VarDecl& d, Symbol* s) {
  s->isList = d.isList;
  if (d.autoNew && !s->isArray) {
    auto it = syms_.scope.find(UpperName(d.type.className));
    if (it != syms_.scope.end() && it->second->kind == SymKind::kClass && it->second->cls->isType) {
      return Error(d.line, d.column, "'" + d.type.className + "' is a Type: declare the variable without 'New'");
    }
  }
  if (d.isArray) {
    if (d.dynamic && d.autoNew) return Error(d.line, d.column, "'As New' cannot declare an array");
    s->isArray = true;
    s->lower = d.lower;
    s->bounds = d.bounds;
    s->dims = static_cast<int>(d.bounds.size());
    s->count = 1;
    for (const auto& [lower, upper] : d.bounds) s->count *= upper - lower + 1;
    if (d.dynamic) s->count = 0;
  }
  return BindType(d.type, s, d.line, d.column);
}

Symbol* Resolver::DeclareProc(const ProcDecl& p, Symbol* cls) {
  Symbol* s = syms_.Make(SymKind::kProc, p.name, p.line, p.column);
  s->proc = &p;
  s->isFunction = p.isFunction;
  s->owner = cls;
  if (p.isFunction) BindType(p.result, s, p.line, p.column);
  if (s->type.kind == TypeKind::kRecord) Error(p.line, p.column, "a Function cannot return a Type; pass a variable of the Type by reference");
  for (const Param& prm : p.params) {
    Symbol* ps = syms_.Make(SymKind::kParam, prm.name, prm.line, prm.column);
    ps->owner = s;
    ps->slot = static_cast<int>(s->params.size());
    ps->byVal = prm.byVal;
    ps->isArray = prm.isArray;
    BindType(prm.type, ps, prm.line, prm.column);
    if (ps->type.kind == TypeKind::kRecord && prm.byVal) Error(prm.line, prm.column, "a Type is passed by reference, not 'ByVal'");
    if (AddTo(s->scope, ps)) s->params.push_back(ps);
  }
  if (p.params.size() > 255) Error(p.line, p.column, "too many parameters");
  return s;
}

// Class B As A: A must be another class of the module, and no chain of
// bases may come back to B.
void Resolver::BindBase(Symbol* cs) {
  const ClassDecl& c = *cs->cls;
  if (c.baseName.empty()) return;
  auto it = syms_.scope.find(UpperName(c.baseName));
  if (it == syms_.scope.end() || it->second->kind != SymKind::kClass || it->second->cls->isType) {
    Error(c.line, c.column, "unknown base class '" + c.baseName + "'");
    return;
  }
  for (const Symbol* b = it->second; b != nullptr; b = b->base) {
    if (b == cs) {
      Error(c.line, c.column, "class '" + c.name + "' derives from itself");
      return;
    }
  }
  cs->base = it->second;
}

// The New of a derived class runs its base's New first: with the arguments
// its declaration names (Sub New(...), Base(args)), or else with its own.
void Resolver::ChainConstructor(Symbol* cs) {
  Symbol* baseCtor = nullptr;
  for (Symbol* b = cs->base; b != nullptr && baseCtor == nullptr; b = b->base) baseCtor = b->ctor;
  if (cs->ctor == nullptr) return;
  auto& body = const_cast<ProcDecl*>(cs->ctor->proc)->body;  // the module's own declaration
  const bool named = !body.empty() && body.front()->kind == StmtKind::kCall && body.front()->target->baseCall &&
                     UpperName(body.front()->target->text) == "NEW";
  if (named) {
    const Expr& call = *body.front()->target;
    if (cs->base == nullptr || UpperName(call.left->text) != UpperName(cs->base->name)) {
      Error(call.line, call.column, "'" + call.left->text + "' is not the base class of '" + cs->name + "'");
    } else if (baseCtor == nullptr) {
      body.erase(body.begin());  // a base without New takes no arguments
    }
    return;
  }
  if (baseCtor == nullptr) return;
  const ProcDecl& p = *cs->ctor->proc;
  StmtPtr s = BaseNewCall(cs->base->name, p.line, p.column);
  for (const Param& prm : p.params) {
    auto a = std::make_unique<Expr>();
    a->kind = ExprKind::kName;
    a->line = p.line;
    a->column = p.column;
    a->text = prm.name;
    s->target->args.push_back(std::move(a));
  }
  body.insert(body.begin(), std::move(s));
}

// A Property Get stands in the class's scope for its property; a Set takes
// the assigned value as a ByVal parameter named as the property, and is
// reached through the Get of the same name (or stands alone, its reads going
// to a base class's Get).
void Resolver::DeclareProperty(const ProcDecl& p, Symbol* ms, Symbol* cs) {
  ms->isProperty = true;
  if (p.property == PropertyKind::kSet) {
    ms->isSetter = true;
    Symbol* value = syms_.Make(SymKind::kParam, p.name, p.line, p.column);
    value->owner = ms;
    value->slot = static_cast<int>(ms->params.size());
    value->byVal = true;
    BindType(p.result, value, p.line, p.column);
    if (value->type.kind == TypeKind::kRecord) Error(p.line, p.column, "a Property cannot take a Type");
    ms->type = TypeRef{};
    ms->classType = nullptr;
    if (AddTo(ms->scope, value)) ms->params.push_back(value);
  } else if (!p.params.empty()) {
    Error(p.line, p.column, "a Property Get takes no parameters");
  }
  if (p.property == PropertyKind::kSet && !p.params.empty()) Error(p.line, p.column, "a Property Set takes no parameters");
  auto it = cs->memberScope.find(UpperName(p.name));
  Symbol* other = it == cs->memberScope.end() ? nullptr : it->second;
  if (other && other->isProperty) {
    Symbol* partner = other->isSetter ? other->getter : other->setter;
    if (other->owner == cs && other->isSetter != ms->isSetter && (!partner || partner->owner != cs)) {
      // The other side of this class's property.
      Symbol* getter = ms->isSetter ? other : ms;
      getter->setter = ms->isSetter ? ms : other;
      getter->setter->getter = getter;
      it->second = getter;
      cs->members.push_back(ms);
      return;
    }
    if (other->owner != cs) {
      // Overriding one side of a base class's property keeps its other side.
      if (ms->isSetter) {
        ms->getter = other->isSetter ? other->getter : other;
      } else {
        ms->setter = other->isSetter ? other : other->setter;
      }
    }
  }
  if (AddMember(cs, ms)) cs->members.push_back(ms);
}

// A derived class starts with its base's instance layout and names; its own
// methods override the base's of the same name.
bool Resolver::AddMember(Symbol* cs, Symbol* m) {
  auto it = cs->memberScope.find(UpperName(m->name));
  if (it != cs->memberScope.end() && it->second->owner != cs) {
    if (m->kind == SymKind::kMember || it->second->kind == SymKind::kMember) {
      return Error(m->line, m->column, "'" + m->name + "' is already declared in class '" + it->second->owner->name + "'");
    }
    it->second = m;
    return true;
  }
  return AddTo(cs->memberScope, m);
}

void Resolver::DeclareClass(const ClassDecl& c, Symbol* cs) {
  if (cs->declared) return;
  cs->declared = true;
  if (cs->base) {
    DeclareClass(*cs->base->cls, cs->base);
    cs->instanceSize = cs->base->instanceSize;
    cs->memberScope = cs->base->memberScope;
  }
  for (const VarDecl& d : c.members) {
    Symbol* m = syms_.Make(SymKind::kMember, d.name, d.line, d.column);
    m->owner = cs;
    m->isPrivate = d.isPrivate;
    if (d.autoNew) Error(d.line, d.column, "'As New' is not supported for class members");
    if (d.isArray) Error(d.line, d.column, "array members are not supported");
    if (d.isList) Error(d.line, d.column, "list members are not supported");
    BindType(d.type, m, d.line, d.column);
    m->slot = cs->instanceSize;
    if (AddMember(cs, m)) {
      cs->instanceSize += 4;
      cs->members.push_back(m);
    }
  }
  for (const ProcDecl& p : c.methods) {
    Symbol* ms = DeclareProc(p, cs);
    ms->isPrivate = p.isPrivate;
    if (p.property != PropertyKind::kNone) {
      DeclareProperty(p, ms, cs);
      continue;
    }
    std::string u = UpperName(p.name);
    if (u == "NEW") {
      if (p.isFunction) Error(p.line, p.column, "'New' must be a Sub");
      cs->ctor = ms;
    } else if (u == "DELETE") {
      if (!p.params.empty()) Error(p.line, p.column, "'Delete' takes no parameters");
      cs->dtor = ms;
    }
    if (AddMember(cs, ms)) cs->members.push_back(ms);
  }
}

void Resolver::DeclareModule() {
  // Classes first so that variable and parameter types can name them.
  for (const ClassDecl& c : module_.classes) {
    Symbol* s = syms_.Make(SymKind::kClass, c.name, c.line, c.column);
    s->cls = &c;
    if (AddTo(syms_.scope, s)) syms_.classes.push_back(s);
  }
  int types = 0;
  for (Symbol* cs : syms_.classes) {
    if (cs->cls->isType) cs->recordIndex = types++;
  }
  if (types > lsrun::type_word::kRecordIndexMask + 1) Error(1, 1, "a module declares at most 256 Types");
  for (Symbol* cs : syms_.classes) BindBase(cs);
  for (Symbol* cs : syms_.classes) DeclareClass(*cs->cls, cs);
  for (Symbol* cs : syms_.classes) ChainConstructor(cs);
  for (Symbol* cs : syms_.classes) {
    if (cs->cls->isType && TypeHolds(cs, cs, 0)) Error(cs->line, cs->column, "Type '" + cs->name + "' contains itself");
  }
  for (VarDecl& d : module_.variables) {
    Symbol* s = syms_.Make(SymKind::kModuleVar, d.name, d.line, d.column);
    if (d.autoNew) Error(d.line, d.column, "'As New' is only supported inside a procedure");
    DeclareVariable(d, s);
    d.sym = s;
    s->slot = static_cast<int>(syms_.variables.size()) * 4;
    if (AddTo(syms_.scope, s)) syms_.variables.push_back(s);
  }
  for (const ExternalDecl& e : module_.externals) {
    Symbol* s = syms_.Make(SymKind::kExternal, e.name, e.line, e.column);
    s->ext = &e;
    s->isFunction = e.isFunction;
    if (e.isFunction) BindType(e.result, s, e.line, e.column);
    if (e.result.kind == TypeKind::kObject) Error(e.line, e.column, "an external Function cannot return an object");
    for (const Param& prm : e.params) {
      Symbol* ps = syms_.Make(SymKind::kParam, prm.name, prm.line, prm.column);
      ps->owner = s;
      ps->slot = static_cast<int>(s->params.size());
      if (prm.type.kind == TypeKind::kObject) Error(prm.line, prm.column, "object and Type parameters are not supported");
      BindType(prm.type, ps, prm.line, prm.column);
      if (AddTo(s->scope, ps)) s->params.push_back(ps);
    }
    if (AddTo(syms_.scope, s)) syms_.externals.push_back(s);
  }
  for (const ProcDecl& p : module_.procs) {
    Symbol* s = DeclareProc(p, nullptr);
    if (!AddTo(syms_.scope, s)) continue;
    syms_.procs.push_back(s);
    std::string u = UpperName(p.name);
    if (u == "INITIALIZE" || u == "TERMINATE") {
      if (p.isFunction || !p.params.empty()) {
        Error(p.line, p.column, "'" + p.name + "' must be a Sub without parameters");
      }
      (u == "INITIALIZE" ? syms_.initialize : syms_.terminate) = s;
    }
  }
}

}  // namespace quillet::lsc
