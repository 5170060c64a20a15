// The interpreter: frames, the value stack, calls, object lifetimes and the
// trapping of runtime errors. One Machine runs one module once.
#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "sim/lsrun/class_runtime.h"
#include "sim/lsrun/files.h"
#include "sim/lsrun/instance_pool.h"
#include "sim/lsrun/module_view.h"
#include "sim/lsrun/natives.h"
#include "sim/lsrun/procedure.h"
#include "sim/lsrun/runner.h"
#include "sim/lsrun/slot_stack.h"
#include "sim/lsrun/value.h"

namespace quillet::lsrun {

enum class Status : uint8_t {
  kOk,
  kError,  // a runtime error: a handler up the calls may trap it
  kFatal,  // the run cannot go on (bad code, step limit): nothing traps it
  kEnd,    // an End statement: the run stops without error
};

class Machine : public Instance::Owner {
 public:
  Machine(CLSScriptModule& module, const RunOptions& options);
  ~Machine() override;
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Allocates the module variables.
  void Load();
  // Runs the module-level procedure whose entry is at `offset` without
  // arguments.
  Status RunProcedure(uint32_t offset);
  // Unloads the module: module variables go, the destructors of every object
  // still alive run (unless the run ended fatally), all memory is freed.
  Status Unload();

  const std::string& output() const { return output_; }
  const std::string& error() const { return error_; }
  uint64_t steps() const { return steps_; }

  void InstanceReleased(Instance* instance) override;

 private:
  enum class CalleeKind : uint8_t { kProcedure, kDeclaration, kConstructor, kMethod };
  struct Marker {
    CalleeKind kind;
    uint32_t sym;
    size_t height;  // stack height where the arguments begin
    Value target;   // the object of a method call
  };
  struct LoopState {
    Value var;  // reference to the For variable
    Value limit;
    Value step;
  };
  struct ForAllState {
    Value array;  // the array or list iterated
    size_t index = 0;
    ListRep::Entries::iterator entry;  // of a list
    int32_t slot = -1;  // the loop variable's local slot, for ListTag
  };
  struct Frame {
    const Procedure* proc = nullptr;
    // The call's slice of slots_: its parameters, then its locals.
    Value* params = nullptr;
    Value* locals = nullptr;
    SlotStack::Mark slotMark;
    Value result;
    Value me;
    size_t stackBase = 0;
    size_t markerBase = 0;
    std::vector<LoopState> loops;
    std::vector<ForAllState> forAlls;
    std::vector<int32_t> gosubs;
    int32_t handler = -1;  // On Error GoTo target
    bool resumeNext = false;  // On Error Resume Next
    // On Error n ...: settings for one error number, ahead of the general
    // ones (handler -1 and no resumeNext: that error is not trapped).
    struct NumberedHandler {
      int number;
      int32_t handler;
      bool resumeNext;
    };
    std::vector<NumberedHandler> numbered;
    bool inHandler = false;
    int32_t errorAt = -1;
    uint16_t line = 0;
    Frame* caller = nullptr;
  };

  // machine_exec.cpp
  Status Execute(Frame& f);
  Status Step(Frame& f, const Insn& in, int32_t pc, int32_t& next, int& error);
  // Fused forms of instruction sequences (procedure.h): each does what the
  // sequence does and counts its steps.
  const Value* SimpleSource(Frame& f, const SimpleLoad& load, int& error, Status& s);
  Status FusedNativeCall(Frame& f, const Insn& in, const NativeCall& call, int32_t pc, int32_t& next, int& error);
  int32_t PassMarkers(Frame& f, int32_t pc);
  Status StepLimitReached();
  [[gnu::noinline]] Status CheckLimits();
  [[gnu::cold]] Status MemberBeyondInstance();
  [[gnu::cold]] Status Unsupported(uint8_t op);
  Value* AssignTarget(Frame& f, const Insn& in, int& error, Status& s);
  Status ConstructFused(Frame& f, const Construction& call, uint32_t cls, int& error, Value& object);
  Status FusedSetNew(Frame& f, const Insn& in, const Construction& call, int32_t pc, int32_t& next, int& error);
  Status FusedConstruct(Frame& f, const Insn& in, const Construction& call, int32_t pc, int32_t& next, int& error);
  [[gnu::always_inline]] Status FusedAssignment(Frame& f, const Insn& in, const Assignment& a, int32_t pc,
                                                int32_t& next, int& error);
  Status AssignmentRun(Frame& f, int32_t& pc, int32_t& next, int& error);
  Status Loop(Frame& f, const Insn& in, int32_t& next, int& error);
  // Next of a whole-number For in whole numbers; false when the loop needs
  // the general path.
  bool NextInWholeNumbers(LoopState& st, int32_t& next, int32_t body);
  Status Element(const Insn& in, int& error);
  Status ElementOfDims(const Insn& in, int& error);  // machine_arrays.cpp
  Status RedimDims(Frame& f, const Insn& in, int& error);
  Status Print(const Insn& in, int& error);
  Status ErrorHandling(Frame& f, const Insn& in, int32_t& next, int& error);
  Status Redim(Frame& f, const Insn& in, int& error);
  bool Trap(Frame& f, int32_t pc, int32_t& next);

  // machine_builtins.cpp
  Status Builtin(const Insn& in, int& error);
  Status Unary(const Insn& in, int& error);

  // machine_records.cpp: the starting value of a declared slot (arrays,
  // lists and Types made whole), values of user-defined Types.
  Value SlotDefault(const VariableInfo& v);
  // Sets the starting value of each of `vars` in `defaults` by slot, in
  // order (a later declaration of a slot wins); the variables that need a
  // value of their own each time go to `fresh` instead.
  static void AddDefaults(const std::vector<VariableInfo>& vars, std::vector<Value>& defaults,
                          std::vector<FreshSlot>& fresh);
  Value NewRecord(int32_t index, int depth = 0);
  void FillRecords(ArrayRep& rep);
  std::vector<const ClassInfo*> recordTypes_;  // by Type index

  // machine_classes.cpp: derived classes.
  // The procedure a call of method `proc` on an instance of class
  // `classOffset` runs: the class's own of that name and kind, or its
  // nearest base's.
  uint32_t Override(uint32_t classOffset, uint32_t proc);
  std::unordered_map<uint64_t, uint32_t> overrides_;
  // The class and its bases, the class first; empty when a class entry
  // does not read or the chain loops.
  std::vector<const ClassInfo*> ClassChain(uint32_t classOffset);
  // The class's chain, member defaults, New and Delete, worked out on first
  // use.
  ClassRuntime& RuntimeOf(uint32_t classOffset);
  std::unordered_map<uint32_t, std::unique_ptr<ClassRuntime>> runtimes_;
  // Starting values of a prepared procedure's locals and result.
  void PrepareDefaults(Procedure& proc);

  // machine_files.cpp
  Status FileBuiltin(uint8_t number, std::vector<Value>& args, int& error);

  // machine_calls.cpp
  // Moves or converts `args` into the parameters; what is left of them
  // stays with the caller. The frame takes `me` once it is set up; with
  // `meBack` it hands it back there when it ends instead of letting go of
  // it (a New, whose caller holds the object anyway, so no reference comes
  // and goes).
  Status Call(const Procedure& proc, std::span<Value> args, Value&& me, Value* result, Value* meBack = nullptr);
  // Call with arguments already of the parameters' types, copied in as
  // they are (constant arguments converted once).
  Status CallConverted(const Procedure& proc, std::span<const Value> params, Value&& me, Value* result,
                       Value* meBack = nullptr);
  // Runs the frame `f`, its procedure and parameters set, to its end.
  [[gnu::always_inline]] Status Enter(Frame& f, Value&& me, Value* result, Value* meBack);
  [[gnu::always_inline]] Frame& TakeFrame(const Procedure& proc);
  [[gnu::always_inline]] void ReleaseFrame(Frame& f);
  Status CallFromStack(Frame& f, int& error);
  // A new object of the class; its New takes `args` as Call does or, when
  // they are not empty, `converted` (arguments already of its parameters'
  // types) as CallConverted does.
  Status Construct(uint32_t classOffset, std::span<Value> args, std::span<const Value> converted, Value& out);
  Status CallDeclaration(uint32_t offset, std::span<const Value> args);
  Status Drain();
  // Drain with the error `s` in flight: it stays the one reported, unless a
  // destructor ends the run.
  [[gnu::cold]] Status DrainKeepingError(Status s);
  Status Destroy(Instance* instance);
  // The prepared procedure at `offset`: the recent one when it is there,
  // inline, else PrepareAt.
  const Procedure* ProcedureAt(uint32_t offset) {
    const auto& recent = recentProcedures_.At(offset);
    if (recent.offset == offset && recent.found != nullptr) return recent.found;
    return PrepareAt(offset);
  }
  [[gnu::noinline]] const Procedure* PrepareAt(uint32_t offset);
  const ClassInfo* ClassAt(uint32_t offset);
  void FreeAll();  // also closes the files still open

  // Errors: Raise records a trappable runtime error, Fatal one that ends the
  // run; both name the procedure and line running now.
  Status Raise(int code, const std::string& detail = "");
  // Raise with `name` between `before` and `after` as the detail; the
  // message is built here, out of the way of the calls that succeed.
  [[gnu::cold]] Status RaiseAbout(int code, const char* before, const std::string& name, const char* after);
  // A native's failure `code`; `called`: the function ran (else none
  // answers the declaration).
  [[gnu::cold]] Status NativeError(const DeclarationInfo& decl, int code, bool called);
  // An error the script raises itself (Error n [, text]).
  Status RaiseUser(int code, const std::string& text);
  Status Fatal(const std::string& message);
  std::string Where() const;

  bool Need(const Frame& f, size_t n) const { return stack_.size() - f.stackBase >= n; }
  Value PopValue() {
    Value v = std::move(stack_.back());
    stack_.pop_back();
    return v;
  }

  CLSScriptModule& module_;
  ModuleView view_;
  const RunOptions& options_;
  std::vector<Value> globals_;
  std::vector<Value> stack_;
  SlotStack slots_;  // parameters and locals of the calls under way
  std::vector<Marker> markers_;
  Frame* current_ = nullptr;
  uint32_t depth_ = 0;
  uint64_t steps_ = 0;
  const uint64_t maxSteps_;  // options_.maxSteps, read every step
  // The clock is read once every so many steps, against the run's deadline.
  static constexpr uint64_t kStepsPerClockCheck = 4096;
  // "," in Print moves to the next zone of this many columns.
  static constexpr size_t kPrintZoneWidth = 14;
  uint64_t nextClockCheck_ = kStepsPerClockCheck;
  // The step count at which CheckLimits runs next: the earlier of the
  // step past the limit and the next clock check.
  uint64_t checkAt_;
  std::chrono::steady_clock::time_point deadline_;
  FileTable files_;
  std::string output_;
  std::string error_;
  int errorCode_ = 0;
  std::string errorText_;  // the message of the error in flight, as Error$ gives it
  // Err, Erl and Error$: the last trapped error, until Resume or Err = 0.
  int errNumber_ = 0;
  int errLine_ = 0;
  std::string errText_;
  uint64_t rndState_ = 0x2545F4914F6CDD1Dull;  // Rnd's generator
  bool halted_ = false;    // a fatal error: no more script code runs
  bool freeing_ = false;   // FreeAll: releases change nothing
  std::unordered_map<uint32_t, std::unique_ptr<Procedure>> procedures_;
  std::unordered_map<uint32_t, std::unique_ptr<ClassInfo>> classes_;
  // The procedures and classes found last, by entry offset, ahead of the
  // maps: a call looks its callee up every time.
  template <typename T>
  struct RecentEntries {
    static constexpr size_t kSize = 64;  // a power of two
    struct Entry {
      uint32_t offset = 0;
      T* found = nullptr;  // null: empty
    };
    Entry entries[kSize];
    Entry& At(uint32_t offset) { return entries[(offset >> 2) & (kSize - 1)]; }
    T* Find(uint32_t offset) {
      Entry& e = At(offset);
      return e.offset == offset ? e.found : nullptr;
    }
  };
  RecentEntries<Procedure> recentProcedures_;
  RecentEntries<ClassInfo> recentClasses_;
  RecentEntries<ClassRuntime> recentRuntimes_;
  // External declarations bound to their native function on first use.
  std::unordered_map<uint32_t, BoundDeclaration> declarations_;
  // The declaration at `offset` with its native function (null when none
  // answers); null after a fatal error when the entry does not read.
  const BoundDeclaration* Bind(uint32_t offset);
  // Converts the arguments to the declared parameters and calls the bound
  // function.
  Status CallBound(const BoundDeclaration& bound, std::span<const Value* const> args);
  // Calls the bound function with arguments converted to its parameters.
  Status Invoke(const BoundDeclaration& bound, std::span<const Value> converted);
  // Native calls of up to this many arguments (the timer entries take six
  // and seven) convert them into an array on the machine stack.
  static constexpr size_t kSmallNativeArgs = 8;
  std::vector<Value> builtinArgs_;  // reused for the arguments of a built-in function
  std::vector<Value> nativeArgs_;  // reused for the converted arguments of longer calls
  std::vector<const Value*> sources_;  // reused for the arguments of a fused call
  // Frames by call depth, kept from call to call so a call allocates
  // nothing once the depth has been reached before.
  std::vector<std::unique_ptr<Frame>> frames_;
  InstancePool instances_;  // every instance not yet freed
  // Released instances whose destructor has not run, oldest first: a
  // vector read from the front, emptied when all are read, so queueing
  // allocates nothing once it has held as many before.
  struct ReleaseQueue {
    std::vector<Instance*> items;
    size_t head = 0;
    bool empty() const { return head == items.size(); }
    void push_back(Instance* instance) { items.push_back(instance); }
    Instance* pop_front() {
      Instance* instance = items[head++];
      if (head == items.size()) clear();
      return instance;
    }
    void clear() {
      items.clear();
      head = 0;
    }
  };
  ReleaseQueue pending_;
};

}  // namespace quillet::lsrun
