// Compile-time symbols of a module: what every name of the source stands for,
// with the frame and instance layout the module image records.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/lsc/ast.h"

namespace quillet::lsc {

enum class SymKind {
  kModuleVar,  // Dim at module level
  kLocal,      // Dim in a procedure, implicit variable, ForAll variable
  kParam,
  kMember,     // class member variable
  kProc,       // Sub or Function, at module level or a class method
  kClass,
  kExternal,   // Declare ... Lib
  kLabel,
};

struct Symbol {
  SymKind kind = SymKind::kLocal;
  std::string name;  // as first written in the source
  int line = 0;
  int column = 0;
  TypeRef type;      // variable type, Function result
  bool isArray = false;
  bool isList = false;  // elements by tag: l("key")
  int lower = 0;
  int count = 0;     // array element count
  std::vector<std::pair<int, int>> bounds;  // of each dimension of a fixed array
  int dims = 0;      // subscripts an element takes; 0 for a dynamic array: any
  int slot = 0;      // frame offset, parameter index, instance offset, module offset
  bool isFunction = false;
  bool implicit = false;  // variable created by its first use
  bool byVal = false;     // parameter passed by value
  bool isPrivate = false; // class member only its own class's methods reach
  Symbol* owner = nullptr;  // procedure of a local/param/label, class of a member or method
  Symbol* classType = nullptr;  // class of an object variable or Function result

  // Procedures and externals.
  std::vector<Symbol*> params;
  const ProcDecl* proc = nullptr;
  const ExternalDecl* ext = nullptr;
  std::vector<Symbol*> locals;  // in declaration order
  std::vector<Symbol*> labels;
  int frameSize = 0;            // bytes, 4 per local
  std::map<std::string, Symbol*> scope;   // params and locals by upper-case name
  std::map<std::string, Symbol*> labelScope;

  // Classes.
  const ClassDecl* cls = nullptr;
  std::vector<Symbol*> members;  // member variables then methods, in source order
  std::map<std::string, Symbol*> memberScope;
  Symbol* base = nullptr;  // Class name As base
  bool declared = false;   // its members are laid out (bases first)
  Symbol* ctor = nullptr;
  Symbol* dtor = nullptr;
  int instanceSize = 0;
  int recordIndex = -1;  // a Type: its index among the module's Types

  // Properties: the Get stands for the property in its class's scope (the
  // Set when there is no Get); the Set is reached through it. The other side
  // may be a base class's, when this class overrides only one.
  bool isProperty = false;
  bool isSetter = false;
  Symbol* setter = nullptr;  // of a Get: the Set assignments call
  Symbol* getter = nullptr;  // of a Set: the Get reads call

  // Label code position, filled by code generation.
  int codeOffset = -1;

  // `name(i)` reads or writes an element: of an array, of a list, or of the
  // array a Variant holds at run time (`parts = Split(s)` then `parts(0)`).
  bool TakesSubscripts() const {
    const bool variable = kind == SymKind::kModuleVar || kind == SymKind::kLocal || kind == SymKind::kParam || kind == SymKind::kMember;
    return isArray || isList || (variable && type.kind == TypeKind::kVariant);
  }
};

// Every symbol of one module, owned in one place.
struct ModuleSymbols {
  std::vector<std::unique_ptr<Symbol>> all;
  std::vector<Symbol*> variables;  // module variables in order
  std::vector<Symbol*> procs;      // module-level procedures in order
  std::vector<Symbol*> classes;
  std::vector<Symbol*> externals;
  std::map<std::string, Symbol*> scope;  // module names by upper-case spelling
  Symbol* initialize = nullptr;
  Symbol* terminate = nullptr;

  Symbol* Make(SymKind kind, const std::string& name, int line, int column) {
    all.push_back(std::make_unique<Symbol>());
    Symbol* s = all.back().get();
    s->kind = kind;
    s->name = name;
    s->line = line;
    s->column = column;
    return s;
  }
};

std::string UpperName(const std::string& name);

}  // namespace quillet::lsc
