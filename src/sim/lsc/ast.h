// Syntax tree of a LotusScript subset module, annotated by the resolver.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/lsc/token.h"

namespace quillet::lsc {

struct Symbol;  // resolver.h

// Declared type of a variable, parameter or Function result.
// kRecord: a user-defined Type (its name in className, as for a class).
enum class TypeKind { kVariant, kInteger, kLong, kString, kObject, kDouble, kSingle, kCurrency, kBoolean, kByte, kRecord };

// The type a suffix character (% & ! # @ $) gives a name or literal; false
// for any other character.
bool SuffixType(char suffix, TypeKind& kind);

struct TypeRef {
  TypeKind kind = TypeKind::kVariant;
  std::string className;  // kObject and kRecord only
};

enum class ExprKind {
  kInteger,  // literal that fits 16 bits
  kLong,     // literal that needs 32 bits
  kString,
  kName,     // name, optionally with an argument list: variable, call, element
  kMember,   // object.name, optionally with an argument list
  kUnary,    // op: kMinus or the keyword Not (kIdent)
  kBinary,
  kNew,      // New ClassName(args)
  kMe,
  kNothing,
  kTrue,
  kFalse,
  kReal,     // literal with a fraction, an exponent or a type suffix: `text`
  kPrintZone,  // "," between Print items
  kBuiltin,  // built-in function: `builtin` (OpBuiltinDisp number) or `opcode`
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  ExprKind kind = ExprKind::kInteger;
  int line = 0;
  int column = 0;
  int64_t value = 0;
  std::string text;           // name, member name, string contents, class name
  std::string op;             // operator spelling in upper case: "+", "AND", "MOD"...
  ExprPtr left;               // operand, object of a member, left side
  ExprPtr right;
  std::vector<ExprPtr> args;
  bool hasArgs = false;       // written with parentheses
  int depth = 1;              // height of the tree below and including this node
  Symbol* sym = nullptr;  // set by the resolver for kName/kMember/kNew
  char suffix = 0;            // type suffix written after a name
  bool passRef = false;       // an argument passed by reference: push its reference
  int builtin = -1;           // kBuiltin: OpBuiltinDisp number, or -1 with `opcode`
  uint8_t opcode = 0;         // kBuiltin with an instruction of its own (CInt, Err...)
  bool builtinSub = false;    // kBuiltin that leaves no result (Randomize)
  int omitted = 0;            // kBuiltin: OpDefaultArg pushed for missing arguments
  bool omittedFirst = false;  // ... before the arguments (InStr) rather than after
  bool baseCall = false;      // kMember `Class..method`: that class's own method on Me
  bool textCompare = false;   // kBuiltin: its omitted compare argument is 1 (Option Compare NoCase)
};

enum class StmtKind {
  kAssign, kSet, kCall, kPrint, kIf, kWhile, kDo, kFor, kForAll, kSelect,
  kExit, kLabel, kGoTo, kGoSub, kReturn, kOnGoTo, kOnGoSub, kOnErrorGoTo,
  kOnErrorResumeNext, kOnErrorGoTo0, kResumeNext, kResumeLabel, kDim,
  kError,    // Error n [, message]: value, items[0]
  kResume0,  // Resume / Resume 0
  kErrSet,   // Err = n: value
  kEnd,      // End: the run stops
  kReDim,    // ReDim [Preserve] target(lower To upper, ...): the bounds in items
  kErase,    // Erase target
  kWith,     // With value ... End With: target is the hidden local holding value
  kSequence, // statements one source statement stands for (file statements): body
};

enum class ExitKind { kSub, kFunction, kFor, kForAll, kDo, kProperty };

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

// One arm of an If (condition) or a Select Case (values); `line` is the line
// of its If/ElseIf/Case keyword.
struct Arm {
  int line = 0;
  int column = 0;
  ExprPtr cond;
  std::vector<ExprPtr> values;
  Block body;
};

struct VarDecl {
  std::string name;
  int line = 0;
  int column = 0;
  TypeRef type;
  bool isArray = false;
  int lower = 0;  // of the first dimension
  int upper = 0;
  std::vector<std::pair<int, int>> bounds;  // lower and upper of each dimension of a fixed array
  bool autoNew = false;  // Dim x As New C
  bool dynamic = false;  // Dim a() As T: no elements until ReDim
  bool isList = false;   // Dim l List As T
  bool isPrivate = false;  // Private class member
  std::vector<ExprPtr> newArgs;
  Symbol* sym = nullptr;
};

struct Stmt {
  StmtKind kind = StmtKind::kCall;
  int line = 0;
  int column = 0;
  ExprPtr target;              // assignment/Set target, called expression, For/ForAll variable
  ExprPtr value;               // assigned value, loop/select/On expression, For start
  ExprPtr limit;               // For ... To
  ExprPtr step;                // For ... Step (may be null)
  std::vector<ExprPtr> items;  // Print items
  bool printNoNewline = false;
  std::vector<Arm> arms;       // If/ElseIf arms, Case arms
  bool hasElse = false;
  int elseLine = 0;
  Block elseBody;
  Block body;                  // loop body
  int endLine = 0;             // line of Wend/Loop/Next/End ForAll
  bool doTestAtTop = false;    // Do While/Until ... Loop
  bool doUntil = false;        // Until instead of While
  ExitKind exitKind = ExitKind::kSub;
  std::vector<std::string> labels;  // GoTo/GoSub/On targets, label name
  std::vector<VarDecl> decls;       // local Dim
  bool singleLine = false;          // one-line If
  int errorNumber = 0;              // On Error n ...: the error it handles, 0 all
  bool preserve = false;            // ReDim Preserve
  bool isStatic = false;            // Static: the variables keep their values between calls
};

struct Param {
  std::string name;
  bool byVal = false;
  bool isArray = false;  // name()
  int line = 0;
  int column = 0;
  TypeRef type;
  Symbol* sym = nullptr;
};

// A procedure; a Property Get is a Function and a Property Set (or Let) a
// Sub whose value comes in a parameter named as the property.
enum class PropertyKind { kNone, kGet, kSet };

struct ProcDecl {
  bool isFunction = false;
  PropertyKind property = PropertyKind::kNone;
  bool isPrivate = false;  // Private method
  bool isStatic = false;   // Static Sub/Function: every declared local is Static
  std::string name;
  int line = 0;
  int column = 0;
  int endLine = 0;
  std::vector<Param> params;
  TypeRef result;
  Block body;
  Symbol* sym = nullptr;
};

// A class, or a user-defined Type (members only, values copied on
// assignment).
struct ClassDecl {
  bool isType = false;
  std::string name;
  std::string baseName;  // Class name As baseName
  int line = 0;
  int column = 0;
  std::vector<VarDecl> members;
  std::vector<ProcDecl> methods;
  Symbol* sym = nullptr;
};

// Declare Sub/Function name Lib "library" [Alias "alias"] (params) [As type]
struct ExternalDecl {
  bool isFunction = false;
  std::string name;
  std::string library;
  std::string alias;
  int line = 0;
  int column = 0;
  std::vector<Param> params;
  TypeRef result;
  Symbol* sym = nullptr;
};

// The statement `Base..New`, with no arguments yet: how a derived class's
// New runs its base's first.
StmtPtr BaseNewCall(const std::string& baseName, int line, int column);

struct Module {
  bool optionDeclare = false;
  bool optionPublic = false;
  bool compareText = false;  // Option Compare NoCase (or Text): strings compare without case
  std::vector<VarDecl> variables;
  std::vector<ProcDecl> procs;
  std::vector<ClassDecl> classes;
  std::vector<ExternalDecl> externals;
};

}  // namespace quillet::lsc
