// Name lookup and the resolution of expressions: variables, calls, members,
// New, and implicit variables when Option Declare is off.
#include "sim/lsc/resolver_impl.h"

#include "bytecode/opcode_numbers.h"
#include "sim/lsrun/arrays.h"
#include "sim/lsrun/builtin_table.h"

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
  SuffixType(e.suffix, s->type.kind);
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
  const Symbol* ctor = callee->kind == SymKind::kClass ? ConstructorOf(callee) : nullptr;
  return ResolveParamArgs(e, callee->kind == SymKind::kClass ? (ctor ? ctor->params : std::vector<Symbol*>{})
                                                               : callee->params) && ok;
}

namespace {

// Built-ins with an instruction of their own, and their argument count.
struct OpcodeBuiltin {
  const char* name;
  uint8_t opcode;
  int args;
};
constexpr OpcodeBuiltin kOpcodeBuiltins[] = {
    {"CINT", op::kCInt, 1}, {"CLNG", op::kCLng, 1}, {"CDBL", op::kCDbl, 1}, {"CSNG", op::kCSng, 1},
    {"CCUR", op::kCCur, 1}, {"CBOOL", op::kCBool, 1}, {"CDAT", op::kCDat, 1}, {"CSTR", op::kCStr, 1},
    {"CBYTE", op::kCByte, 1}, {"CVAR", op::kCVar, 1}, {"ABS", op::kAbs, 1}, {"INT", op::kInt, 1},
    {"FIX", op::kFix, 1}, {"ERR", op::kErr, 0}, {"ERL", op::kErl, 0}, {"ERROR", op::kError, 0},
};

TypeKind ResultKindOf(const std::string& upper, char suffix) {
  static const char* const kText[] = {"LEFT", "RIGHT", "MID", "UCASE", "LCASE", "TRIM", "LTRIM", "RTRIM",
                                      "REPLACE", "JOIN", "STRCONV", "SPACE", "STRING", "CHR", "FULLTRIM",
                                      "STR", "FORMAT", "TYPENAME", "ENVIRON", "HEX", "OCT", "CSTR", "ERROR"};
  if (suffix == '$') return TypeKind::kString;
  for (const char* t : kText) {
    if (upper == t) return TypeKind::kString;
  }
  return TypeKind::kVariant;
}

}  // namespace

bool Resolver::ResolveBuiltin(Expr& e, ExprType& type, bool asStatement, bool& handled) {
  const std::string u = UpperName(e.text);
  handled = false;
  if ((u == "ISELEMENT" || u == "LISTTAG") && !Lookup(e.text)) {
    // IsElement(l(tag)) and ListTag(forAllVariable) take their argument as
    // written, not as a value.
    handled = true;
    e.kind = ExprKind::kBuiltin;
    if (e.args.size() != 1) return Error(e.line, e.column, "'" + e.text + "' expects 1 argument(s), not " + std::to_string(e.args.size()));
    Expr& a = *e.args[0];
    Symbol* v = a.kind == ExprKind::kName ? Lookup(a.text) : nullptr;
    if (u == "ISELEMENT") {
      if (!v || !v->isList || !a.hasArgs || a.args.size() != 1) return Error(a.line, a.column, "IsElement needs a list element: IsElement(list(tag))");
      a.sym = v;
      e.opcode = op::kIsElement;
      ExprType t;
      return ResolveExpr(*a.args[0], t);
    }
    if (!v || v->kind != SymKind::kLocal || a.hasArgs) return Error(a.line, a.column, "ListTag needs the variable of a ForAll over a list");
    a.sym = v;
    e.opcode = op::kListTag;
    type.kind = TypeKind::kString;
    return true;
  }
  const lsrun::BuiltinSpec* spec = lsrun::FindBuiltin(u);
  const OpcodeBuiltin* byOpcode = nullptr;
  for (const OpcodeBuiltin& b : kOpcodeBuiltins) {
    if (u == b.name) byOpcode = &b;
  }
  if (!spec && !byOpcode) return false;
  handled = true;
  if (e.suffix != 0 && e.suffix != '$') return Error(e.line, e.column, "'" + e.text + "' takes no suffix but '$'");
  e.kind = ExprKind::kBuiltin;
  type.kind = ResultKindOf(u, e.suffix);
  const size_t n = e.args.size();
  bool ok = true;
  const bool savedWhole = wholeArrayOk_;
  wholeArrayOk_ = true;  // LBound(a), IsArray(a), Join(a)...
  for (ExprPtr& a : e.args) {
    ExprType t;
    ok = ResolveExpr(*a, t) && ok;
  }
  wholeArrayOk_ = savedWhole;
  if (byOpcode) {
    e.opcode = byOpcode->opcode;
    if (u == "ERROR" && n == 1) {
      e.opcode = op::kErrorWithArg;
      return ok;
    }
    if (n != static_cast<size_t>(byOpcode->args)) {
      return Error(e.line, e.column, "'" + e.text + "' expects " + std::to_string(byOpcode->args) + " argument(s), not " + std::to_string(n));
    }
    if (asStatement) return Error(e.line, e.column, "'" + e.text + "' is a function; use its value");
    return ok;
  }
  if (n < spec->minArgs || n > spec->maxArgs) {
    const std::string range = spec->minArgs == spec->maxArgs ? std::to_string(spec->minArgs)
                                                             : std::to_string(spec->minArgs) + " to " + std::to_string(spec->maxArgs);
    return Error(e.line, e.column, "'" + e.text + "' expects " + range + " argument(s), not " + std::to_string(n));
  }
  if (!spec->isFunction && !asStatement) return Error(e.line, e.column, "'" + e.text + "' is a statement and has no value");
  e.builtin = spec->number;
  e.builtinSub = !spec->isFunction;
  e.omitted = spec->maxArgs - static_cast<int>(n);
  // The compare argument, last of these, defaults to Option Compare's.
  const bool compares = spec->number == lsrun::builtin::kInStr || spec->number == lsrun::builtin::kInStrRev ||
                        spec->number == lsrun::builtin::kReplace || spec->number == lsrun::builtin::kSplit ||
                        spec->number == lsrun::builtin::kStrComp || spec->number == lsrun::builtin::kArrayGetIndex;
  e.textCompare = compares && module_.compareText && e.omitted > 0;
  // InStr(s1, s2) leaves out the start, which comes first.
  e.omittedFirst = spec->leadingOptional && n == spec->minArgs;
  return ok;
}

bool Resolver::ResolveParamArgs(Expr& e, const std::vector<Symbol*>& params) {
  bool ok = true;
  for (size_t i = 0; i < e.args.size(); ++i) {
    Expr& a = *e.args[i];
    const Symbol* p = i < params.size() ? params[i] : nullptr;
    const bool wholeArray = p && (p->isArray || p->type.kind == TypeKind::kVariant);
    const bool savedWhole = wholeArrayOk_;
    wholeArrayOk_ = wholeArray;
    ExprType t;
    const bool argOk = ResolveExpr(a, t);
    wholeArrayOk_ = savedWhole;
    ok = argOk && ok;
    if (!argOk || !p || p->byVal || p->owner == nullptr || p->owner->kind == SymKind::kExternal) continue;
    const Symbol* v = a.sym;
    const bool variable = (a.kind == ExprKind::kName || a.kind == ExprKind::kMember) && v &&
                          (v->kind == SymKind::kModuleVar || v->kind == SymKind::kLocal ||
                           v->kind == SymKind::kParam || v->kind == SymKind::kMember);
    if (p->isArray) {
      if (!variable || !v->isArray || a.hasArgs) {
        ok = Error(a.line, a.column, "'" + p->name + "' takes an array variable");
      } else if (p->type.kind != TypeKind::kVariant && v->type.kind != p->type.kind) {
        ok = Error(a.line, a.column, "type mismatch: the array '" + v->name + "' is not of the parameter's type");
      } else {
        a.passRef = true;
      }
      continue;
    }
    if (p->type.kind == TypeKind::kRecord && (t.kind != TypeKind::kRecord || t.cls != p->classType)) {
      ok = Error(a.line, a.column, "'" + p->name + "' takes a variable of Type '" + p->classType->name + "'");
      continue;
    }
    if (!variable) continue;  // an expression: its value goes by value
    if (v->isArray && !a.hasArgs) {
      a.passRef = true;  // a whole array into a Variant parameter
      continue;
    }
    // By reference only when the types agree (or the parameter is a
    // Variant); otherwise the runtime passes a converted copy, as
    // LotusScript does for a variable of another type.
    if (p->type.kind == TypeKind::kVariant || p->type.kind == v->type.kind) a.passRef = true;
  }
  return ok;
}

bool Resolver::SubscriptsFit(const Expr& e, const Symbol& s) {
  const size_t n = e.args.size();
  if (s.isList || s.dims == 1) {
    if (n != 1) return Error(e.line, e.column, "'" + e.text + "' has one " + (s.isList ? "tag" : "dimension"));
  } else if (s.dims > 1) {
    if (n != static_cast<size_t>(s.dims)) {
      return Error(e.line, e.column, "'" + e.text + "' has " + std::to_string(s.dims) + " dimensions");
    }
  } else if (n == 0 || n > lsrun::kMaxArrayDims) {
    return Error(e.line, e.column, "an array element takes 1 to 8 subscripts");
  }
  return true;
}

bool Resolver::ResolveName(Expr& e, ExprType& type) {
  Symbol* s = Lookup(e.text);
  if (s && s->isSetter && s->getter && !assigning_) s = s->getter;  // a base class's Get
  if (!s) {
    bool handled = false;
    const bool ok = ResolveBuiltin(e, type, false, handled);
    if (handled) return ok;
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
      if (e.hasArgs && !s->TakesSubscripts()) return Error(e.line, e.column, "'" + e.text + "' is not an array or a procedure");
      if (e.hasArgs && !SubscriptsFit(e, *s)) return false;
      if (e.hasArgs) {
        bool ok = true;
        for (ExprPtr& a : e.args) {
          ExprType it;
          ok = ResolveExpr(*a, it) && ok;
        }
        return ok;
      }
      return true;
    case SymKind::kProc:
    case SymKind::kExternal:
      type = TypeOf(s);
      if (s == proc_ && !e.hasArgs) return true;  // the Function's own return value
      if (assigning_ && s->isProperty) return true;
      if (s->isSetter) return Error(e.line, e.column, "property '" + e.text + "' has no Get");
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

// Class..method inside a method: that class's (or its bases') own method,
// called on Me without looking for an override; Base..New only as the
// first statement of a New.
bool Resolver::ResolveBaseCall(Expr& e, ExprType& type) {
  const Symbol* named = nullptr;
  for (const Symbol* c = cls_; c != nullptr; c = c->base) {
    if (UpperName(c->name) == UpperName(e.left->text)) named = c;
  }
  if (named == nullptr) {
    return Error(e.left->line, e.left->column, "'" + e.left->text + "..' needs the class or a base class of the method it is in");
  }
  auto it = named->memberScope.find(UpperName(e.text));
  if (it == named->memberScope.end() || it->second->kind != SymKind::kProc) {
    return Error(e.line, e.column, "class '" + named->name + "' has no method '" + e.text + "'");
  }
  Symbol* m = it->second;
  if (m->isSetter && m->getter && !assigning_) m = m->getter;  // a base class's Get
  const bool ctor = UpperName(e.text) == "NEW";
  if (ctor && (proc_ != cls_->ctor || named == cls_)) return Error(e.line, e.column, "a base class's New runs only from the New of its derived class");
  if (!ctor && m->owner->dtor == m) return Error(e.line, e.column, "'" + e.text + "' cannot be called directly");
  e.sym = m;
  type = TypeOf(m);
  if (assigning_ && m->isProperty) return true;
  if (m->isSetter) return Error(e.line, e.column, "property '" + e.text + "' has no Get");
  return ResolveArgs(e, m, m->params.size());
}

// The New that `new C` runs: its own, or the nearest base's.
const Symbol* Resolver::ConstructorOf(const Symbol* cls) const {
  for (const Symbol* c = cls; c != nullptr; c = c->base) {
    if (c->ctor) return c->ctor;
  }
  return nullptr;
}

bool Resolver::DerivesFrom(const Symbol* cls, const Symbol* base) const {
  for (const Symbol* c = cls; c != nullptr; c = c->base) {
    if (c == base) return true;
  }
  return false;
}

bool Resolver::ResolveMember(Expr& e, ExprType& type) {
  if (e.baseCall) return ResolveBaseCall(e, type);
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
  if (m->isSetter && m->getter && !assigning_) m = m->getter;  // a base class's Get
  if (m->isPrivate && !DerivesFrom(cls_, m->owner)) {
    return Error(e.line, e.column, "'" + e.text + "' is private to class '" + m->owner->name + "'");
  }
  e.sym = m;
  type = TypeOf(m);
  if (m->kind == SymKind::kMember) {
    if (!e.hasArgs) return true;
    // o.v(i): an element of the array a Variant member holds.
    if (!m->TakesSubscripts()) return Error(e.line, e.column, "'" + e.text + "' is not a method");
    if (!SubscriptsFit(e, *m)) return false;
    bool ok = true;
    for (ExprPtr& a : e.args) {
      ExprType it;
      ok = ResolveExpr(*a, it) && ok;
    }
    return ok;
  }
  if (m == objType.cls->ctor || m == objType.cls->dtor) {
    return Error(e.line, e.column, "'" + e.text + "' cannot be called directly");
  }
  if (assigning_ && m->isProperty) return true;
  if (m->isSetter) return Error(e.line, e.column, "property '" + e.text + "' has no Get");
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
    case ExprKind::kReal:
      type.kind = TypeKind::kDouble;
      return true;
    case ExprKind::kPrintZone:
    case ExprKind::kBuiltin:  // resolved once already
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
      if (ok && e.sym && e.sym->isArray && !e.hasArgs && !wholeArrayOk_) {
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
      if (it->second->cls->isType) return Error(e.line, e.column, "'" + e.text + "' is a Type, not a class");
      e.sym = it->second;
      type.kind = TypeKind::kObject;
      type.cls = it->second;
      const Symbol* ctor = ConstructorOf(e.sym);
      size_t expected = ctor ? ctor->params.size() : 0;
      return ResolveArgs(e, e.sym, expected);
    }
  }
  return false;
}

}  // namespace quillet::lsc
