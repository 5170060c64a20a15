// A procedure ready to run: its byte code decoded instruction by instruction
// and every operand resolved once (slots, constants, callees, jump targets as
// instruction indices), so the interpreter never looks at bytes or symbol
// entries again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/lsrun/module_view.h"
#include "sim/lsrun/ops.h"
#include "sim/lsrun/value.h"

namespace quillet::lsrun {

// Result slot of a Function: the local load whose operand is the Function
// itself.
inline constexpr int32_t kResultSlot = -1;

// One instruction with resolved operands. Which fields mean what depends on
// the opcode (see PrepareProcedure):
//   loads        a = slot index (kResultSlot for a Function's result), type
//   constants    a = value, or index into Procedure::constants
//   jumps        a = target index; For/Next and ForAll/NextForAll: b = loop
//                state index; ForAll: c = the variable's local slot
//   On GoTo/GoSub a = index into Procedure::targetLists
//   calls        sym = entry offset of the procedure, declaration or class,
//                b = the kind word of its entry;
//                OpLoadProc of a declaration: c = 1 + index into
//                Procedure::nativeCalls when the call can run fused;
//                OpLoadCtor: c = 1 + index into Procedure::constructions
//   "Ptr" loads  c = 1 + index into Procedure::assignments when the
//                assignment they start can run fused; b = 1 + index into
//                Procedure::constructions when they start a fused Set of a
//                new object
//   OpLine, OpStmtSep  markers = how many markers run from here on (this one
//                included); a = the line the last OpLine of them sets, or -1
// Which fused form, if any, an instruction starts: the interpreter picks it
// with one switch, and runs the instruction alone when the fused form would
// pass the step limit.
enum class Fused : uint8_t {
  kNone,
  kNativeCall,  // OpLoadProc: c indexes nativeCalls
  kConstruct,   // OpLoadCtor: c indexes constructions
  kAssignment,  // a reference load: c indexes assignments
  kSetNew,      // a reference load: b indexes constructions
  kEnd,         // OpEndSub: the procedure ends
};

struct Insn {
  uint8_t op = 0;
  SlotType type = SlotType::kVariant;
  uint16_t line = 0;
  uint16_t markers = 0;
  Fused fused = Fused::kNone;
  int32_t a = 0;
  int32_t b = 0;
  int32_t c = 0;
  uint32_t sym = 0;
};

// A call of an external declaration whose arguments are all simple loads
// (constants, parameters, locals, module variables, members of Me), as the
// timer calls of a rewritten module are: OpLoadProc, the loads and OpCallProc
// run as one step, the arguments read straight from where they are. The
// instructions stay in the code; the fused form is an alternative to them.
// The loads that push a reference to a module variable, local, parameter or
// member of Me.
inline bool IsReferenceLoad(uint8_t op) {
  return op == op::kGLoadObjPtr || op == op::kLLoadObjPtr || op == op::kPLoadObjPtr || op == op::kTLoadObjPtr;
}

// An OpInteger operand stands in Procedure::constants, as a literal's
// value does, so that every simple load reads a value where it is held.
struct SimpleLoad {
  uint8_t op;  // the load's opcode; OpNumericLiteral for an OpInteger
  int32_t a;   // its resolved operand
};

struct BoundDeclaration;  // natives.h

struct NativeCall {
  std::vector<SimpleLoad> args;
  // When every argument is a constant: the arguments converted to the
  // declared parameter types once, handed to the function as they are.
  bool constant = false;
  std::vector<Value> converted;
  int32_t span = 0;  // instructions after OpLoadProc up to and including OpCallProc
  // The run's binding of the declaration, made by the interpreter on the
  // first call.
  mutable const BoundDeclaration* bound = nullptr;
};

// A New whose arguments are all simple loads (the entry code of a rewritten
// module makes its timer object so): OpLoadCtor, the loads and OpCallProc
// run as one step.
struct Construction {
  std::vector<SimpleLoad> args;
  int32_t span = 0;  // instructions after OpLoadCtor up to and including OpCallProc
  // Whether a reference load before it and OpSet after it store the new
  // object (`Set x = New C(...)`, `Dim x As New C(...)`), run with it as
  // one step from the reference load.
  bool stored = false;
  // When every argument is a constant and the New that runs is known: the
  // arguments converted to its parameter types once.
  bool constant = false;
  std::vector<Value> converted;
};

// An assignment of a simple load to a variable, parameter or member of Me
// (`x = n`, the constructor of the timer class storing its arguments): the
// reference load, the load and OpAssign run as one step.
// Assignments that follow one another with only line markers and statement
// separators between them (a constructor storing its arguments) run as one
// step from the first: `run` is how many of them, this one included, and
// `runSteps` the instructions they and the markers between them count.
// Within a run, `between` is how many markers follow this one before the
// next, and `lineAfter` the line they set (-1: none).
struct Assignment {
  SimpleLoad source;
  int32_t run = 1;
  int32_t runSteps = 3;
  int32_t between = 0;
  int32_t lineAfter = -1;
};

// A slot that starts with a value of its own (an array, a list, a Type's
// value), made fresh for each frame or instance from its declaration.
struct FreshSlot {
  size_t slot;
  const VariableInfo* variable;
};

struct Procedure {
  ProcedureInfo info;
  std::vector<Insn> code;        // ends with the procedure's OpEndSub
  std::vector<int32_t> offsets;  // byte-code position of each instruction
  std::vector<Value> constants;
  std::vector<std::vector<int32_t>> targetLists;
  std::vector<NativeCall> nativeCalls;
  std::vector<Construction> constructions;
  std::vector<Assignment> assignments;
  int32_t loopStates = 0;
  int32_t forAllStates = 0;
  // Filled by the interpreter once the procedure is prepared, so that a call
  // copies its frame's starting values: each local slot's, the locals made
  // fresh each call (info.locals), and the result's.
  std::vector<Value> localDefaults;
  std::vector<FreshSlot> freshLocals;
  Value resultDefault;
  // A lean procedure keeps nothing in its frame but parameters and scalar
  // locals: no loops, ForAll, GoSub or On Error state, no local that can
  // hold a string or an object; a call skips setting up and releasing the
  // rest (see IsLean).
  bool lean = false;

  // Index of the statement after the one holding instruction `i`: the next
  // line marker or the instruction after the next statement separator.
  int32_t NextStatement(int32_t i) const;
  // Index of the first instruction of the statement holding instruction `i`.
  int32_t StatementStart(int32_t i) const;
};

// Whether `proc`, its defaults filled, can run in a lean frame.
bool IsLean(const Procedure& proc);

// Decodes the code of `info` up to its OpEndSub and resolves the operands.
// `globalSlots` bounds module-variable slots. Returns false with a message
// when the code does not decode, runs past the byte code, jumps into the
// middle of an instruction or names an entry that does not fit its use.
[[nodiscard]] bool PrepareProcedure(const ModuleView& view, const ProcedureInfo& info, size_t globalSlots,
                                    Procedure& out, std::string& error);

}  // namespace quillet::lsrun
