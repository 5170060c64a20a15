// Calls, constructors, external declarations, object destruction and the
// module's load and unload.
#include <algorithm>
#include <exception>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

#include "sim/lsrun/arrays.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/machine.h"
#include "sim/lsrun/operators.h"

namespace quillet::lsrun {

Machine::Machine(CLSScriptModule& module, const RunOptions& options)
    : module_(module),
      view_(module),
      options_(options),
      maxSteps_(options.maxSteps),
      checkAt_(std::min(kStepsPerClockCheck, options.maxSteps == UINT64_MAX ? options.maxSteps : options.maxSteps + 1)),
      deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(options.maxSeconds)),
      instances_(this) {}

Machine::~Machine() { FreeAll(); }

void Machine::Load() {
  std::vector<VariableInfo> vars;
  size_t slots = 0;
  for (uint32_t offset : view_.ModuleScope()) {
    VariableInfo v;
    if (!view_.ReadVariable(offset, v)) continue;
    vars.push_back(v);
    slots = std::max<size_t>(slots, v.slot / 4u + 1);
  }
  globals_.assign(slots, Value());
  for (uint32_t offset : view_.ClassScope()) {
    const ClassInfo* cls = ClassAt(offset);
    if (cls != nullptr && cls->isRecord) recordTypes_.push_back(cls);
  }
  for (const VariableInfo& v : vars) globals_[v.slot / 4u] = SlotDefault(v);
}

Status Machine::RunProcedure(uint32_t offset) {
  const Procedure* proc = ProcedureAt(offset);
  if (proc == nullptr) return Status::kFatal;
  if (proc->info.paramCount != 0) return Fatal("'" + proc->info.name + "' takes parameters and cannot be run");
  return Call(*proc, {}, Value(), nullptr);
}

Status Machine::Unload() {
  Status s = Status::kOk;
  if (!halted_) {
    // Module variables go first, in declaration order, then whatever objects
    // still hold one another: the runtime deletes them all on unload.
    for (Value& g : globals_) g = Value();
    s = Drain();
    // An instance's memory may serve a newer one by the time its turn comes.
    std::vector<std::pair<uint64_t, Instance*>> leftovers;
    for (Instance* instance : instances_.LiveByCreation()) {
      if (instance->state == Instance::State::kLive) leftovers.emplace_back(instance->created, instance);
    }
    for (const auto& [seq, instance] : leftovers) {
      if (s != Status::kOk || halted_ || !instances_.Holds(instance) || instance->created != seq ||
          instance->state != Instance::State::kLive) {
        continue;
      }
      instance->AddRef();  // held here while its destructor runs
      const Status d = Destroy(instance);
      instance->Release();
      if (d != Status::kOk) s = d;
      if (s == Status::kOk) s = Drain();
    }
  }
  FreeAll();
  return s;
}

void Machine::FreeAll() {
  freeing_ = true;
  files_.CloseAll();
  stack_.clear();
  markers_.clear();
  globals_.clear();
  pending_.clear();
  instances_.Clear();
}

void Machine::InstanceReleased(Instance* instance) {
  if (freeing_) return;
  switch (instance->state) {
    case Instance::State::kLive:
      instance->state = Instance::State::kQueued;
      pending_.push_back(instance);
      return;
    case Instance::State::kDead:
      instances_.Free(instance);
      return;
    default:
      return;  // queued, or its destructor is running
  }
}

Status Machine::Drain() {
  while (!pending_.empty() && !halted_) {
    Instance* instance = pending_.pop_front();
    if (Status s = Destroy(instance); s != Status::kOk) return s;
  }
  return Status::kOk;
}

// Runs the class's Delete with the instance as Me, then lets go of the
// members. The memory goes once nothing refers to the instance any more.
Status Machine::Destroy(Instance* instance) {
  instance->state = Instance::State::kDestroying;
  Status s = Status::kOk;
  // The class's Delete, then its bases'.
  ClassRuntime& r = instance->runtime != nullptr ? *instance->runtime : RuntimeOf(instance->classOffset);
  for (ClassRuntime::Destructor& d : r.dtors) {
    if (s != Status::kOk) break;
    if (d.proc == nullptr) d.proc = ProcedureAt(d.offset);
    if (d.proc == nullptr) return Status::kFatal;
    s = Call(*d.proc, {}, Value::Object(instance), nullptr);
  }
  instance->state = Instance::State::kDead;
  // The members go with the instance already dead, so a release they cause
  // sees it so; their storage stays with the instance for reuse.
  std::vector<Value> members;
  members.swap(instance->members);
  members.clear();
  members.swap(instance->members);
  if (instance->refs() == 0) instances_.Free(instance);
  return s;
}

// The frame of the next call depth, with its slice of slots for `proc`'s
// parameters and locals.
inline Machine::Frame& Machine::TakeFrame(const Procedure& proc) {
  while (frames_.size() <= depth_) frames_.push_back(std::make_unique<Frame>());
  Frame& f = *frames_[depth_];
  f.proc = &proc;
  f.slotMark = slots_.Top();
  f.params = slots_.Take(proc.info.paramCount + proc.localDefaults.size());
  f.locals = f.params + proc.info.paramCount;
  return f;
}

// Lets go of what a finished frame holds, locals first, then parameters,
// result and Me, and gives its slots back for the next call.
// A lean procedure's frame has nothing but parameters, locals, result and
// Me to let go of.
inline void Machine::ReleaseFrame(Frame& f) {
  const Procedure& proc = *f.proc;
  for (size_t k = 0, n = proc.localDefaults.size(); k < n; ++k) f.locals[k].Clear();
  for (size_t k = 0, n = proc.info.paramCount; k < n; ++k) f.params[k].Clear();
  slots_.Restore(f.slotMark);
  f.result.Clear();
  f.me.Clear();
  // What the frame's loops, GoSubs and error settings hold; empty in a
  // lean frame and in most others.
  if (!proc.lean) {
    if (!f.loops.empty()) f.loops.clear();
    if (!f.forAlls.empty()) f.forAlls.clear();
    f.gosubs.clear();
    f.numbered.clear();
  }
  f.proc = nullptr;
  f.caller = nullptr;
}

Status Machine::Call(const Procedure& proc, std::span<Value> args, Value&& me, Value* result, Value* meBack) {
  if (halted_) return Status::kFatal;
  if (depth_ >= options_.maxCallDepth) return Raise(err::kOutOfStackSpace);
  const ProcedureInfo& info = proc.info;
  if (args.size() != info.paramCount) return RaiseAbout(err::kWrongArguments, "'", info.name, "'");
  Frame& f = TakeFrame(proc);
  // Parameters are made in place, in order, in the frame's empty slots.
  for (size_t i = 0; i < args.size(); ++i) {
    // A reference argument binds the parameter to the caller's variable
    // (one level: a parameter passed on refers to the original), when the
    // types agree or the parameter is a Variant or an array.
    Value& a = args[i];
    if (a.type() == Value::Type::kRef && a.ref() != nullptr) {
      Value r = a.ref()->type() == Value::Type::kRef ? *a.ref() : a;
      const SlotType want = info.paramTypes[i];
      if (r.ref() != nullptr &&
          (r.ref()->type() == Value::Type::kArray || want == SlotType::kVariant || want == r.slotType())) {
        f.params[i] = std::move(r);
        continue;
      }
    }
    // A ByVal Variant gets its own copy of an array a variable still holds.
    if (const ArrayRep* array = a.array(); array != nullptr && array->refs() > 1 && info.paramTypes[i] == SlotType::kVariant) {
      f.params[i] = Value::Array(CopyOfArray(*array));
      continue;
    }
    if (a.type() == HeldType(info.paramTypes[i])) {
      f.params[i] = std::move(a);  // the caller's copy is left to go anyway
      continue;
    }
    if (int e = ConvertOther(a, info.paramTypes[i], f.params[i])) {
      ReleaseFrame(f);
      return Raise(e);
    }
  }
  return Enter(f, std::move(me), result, meBack);
}

Status Machine::CallConverted(const Procedure& proc, std::span<const Value> params, Value&& me, Value* result,
                              Value* meBack) {
  if (halted_) return Status::kFatal;
  if (depth_ >= options_.maxCallDepth) return Raise(err::kOutOfStackSpace);
  if (params.size() != proc.info.paramCount) return RaiseAbout(err::kWrongArguments, "'", proc.info.name, "'");
  Frame& f = TakeFrame(proc);
  for (size_t i = 0; i < params.size(); ++i) f.params[i] = params[i];
  return Enter(f, std::move(me), result, meBack);
}

inline Status Machine::Enter(Frame& f, Value&& me, Value* result, Value* meBack) {
  const Procedure& proc = *f.proc;
  const ProcedureInfo& info = proc.info;
  for (size_t k = 0, n = proc.localDefaults.size(); k < n; ++k) f.locals[k] = proc.localDefaults[k];
  if (!proc.lean) {
    for (const FreshSlot& v : proc.freshLocals) f.locals[v.slot] = SlotDefault(*v.variable);
  }
  if (info.returnsValue) f.result = proc.resultDefault;
  f.me = std::move(me);
  f.stackBase = stack_.size();
  f.markerBase = markers_.size();
  if (proc.loopStates != 0) f.loops.resize(static_cast<size_t>(proc.loopStates));
  if (proc.forAllStates != 0) f.forAlls.resize(static_cast<size_t>(proc.forAllStates));
  f.handler = -1;
  f.resumeNext = false;
  f.inHandler = false;
  f.errorAt = -1;
  f.line = 0;

  Frame* caller = current_;
  f.caller = caller;
  current_ = &f;
  ++depth_;
  Status s = Execute(f);
  --depth_;
  current_ = caller;

  // A procedure that ends normally leaves the stacks as it found them.
  if (stack_.size() != f.stackBase) stack_.resize(f.stackBase);
  if (markers_.size() != f.markerBase) markers_.resize(f.markerBase);
  if (s == Status::kOk && result != nullptr) *result = std::move(f.result);
  if (meBack != nullptr) *meBack = std::move(f.me);
  // The frame's objects die here, however the procedure ended; their
  // destructors run before the caller goes on.
  ReleaseFrame(f);
  if (pending_.empty() || s == Status::kFatal || s == Status::kEnd) return s;
  if (s != Status::kError) return Drain();
  return DrainKeepingError(s);
}

Status Machine::DrainKeepingError(Status s) {
  const std::string error = error_;
  const std::string text = errorText_;
  const int code = errorCode_;
  const Status d = Drain();
  error_ = error;  // the error in flight wins over one from a destructor
  errorText_ = text;
  errorCode_ = code;
  return d == Status::kFatal ? d : s;
}

// The arguments stay where the loads pushed them, above the marker's
// height, while the call makes its parameters from them; what is left of
// them goes when it returns, as a temporary would, and a result takes
// their place.
Status Machine::CallFromStack(Frame& f, int& error) {
  if (markers_.size() <= f.markerBase) return Fatal("call without a procedure to call");
  Marker& top = markers_.back();
  const size_t height = top.height;
  if (height > stack_.size() || height < f.stackBase) return Fatal("stack underflow");
  const CalleeKind kind = top.kind;
  const uint32_t sym = top.sym;
  Value target = std::move(top.target);
  markers_.pop_back();
  const size_t count = stack_.size() - height;
  const std::span<Value> args(stack_.data() + height, count);
  Status s = Status::kOk;
  switch (kind) {
    case CalleeKind::kDeclaration:
      s = CallDeclaration(sym, args);
      break;
    case CalleeKind::kConstructor: {
      Value object;
      s = Construct(sym, args, {}, object);
      stack_.resize(height);
      if (s == Status::kOk) stack_.push_back(std::move(object));
      return s;
    }
    case CalleeKind::kProcedure:
    case CalleeKind::kMethod: {
      const Procedure* proc = ProcedureAt(sym);
      if (proc == nullptr) return Status::kFatal;
      if (kind == CalleeKind::kProcedure && proc->info.ownerClass != 0) target = f.me;
      if (kind == CalleeKind::kMethod && target.object() == nullptr) {
        stack_.resize(height);
        return (error = err::kObjectVariableNotSet, Status::kOk);
      }
      Value result;
      s = Call(*proc, args, std::move(target), &result);
      stack_.resize(height);
      if (s == Status::kOk && proc->info.returnsValue) stack_.push_back(std::move(result));
      return s;
    }
  }
  // A declared Function's result, pushed above the arguments, takes their
  // place.
  if (s == Status::kOk && stack_.size() == height + count + 1) {
    stack_[height] = std::move(stack_.back());
    stack_.resize(height + 1);
  } else {
    stack_.resize(height);
  }
  return s;
}

Status Machine::Construct(uint32_t classOffset, std::span<Value> args, std::span<const Value> converted,
                          Value& out) {
  ClassRuntime& r = RuntimeOf(classOffset);
  if (r.chain.empty()) return Fatal("OpLoadCtor names no readable class");
  const ClassInfo* cls = r.chain.front();
  Instance* instance = instances_.Make(classOffset, r.memberDefaults);
  instance->runtime = &r;
  for (const FreshSlot& m : r.freshMembers) instance->members[m.slot] = SlotDefault(*m.variable);
  Value object = Value::Object(instance);
  if (r.ctor == 0) {
    if (!args.empty() || !converted.empty()) return RaiseAbout(err::kWrongArguments, "'New ", cls->name, "'");
  } else {
    if (r.ctorProc == nullptr) r.ctorProc = ProcedureAt(r.ctor);
    if (r.ctorProc == nullptr) return Status::kFatal;
    // The frame borrows the object as Me and hands it back.
    const Status s = converted.empty() ? Call(*r.ctorProc, args, std::move(object), nullptr, &object)
                                       : CallConverted(*r.ctorProc, converted, std::move(object), nullptr, &object);
    if (s != Status::kOk) return s;
  }
  out = std::move(object);
  return Status::kOk;
}

const BoundDeclaration* Machine::Bind(uint32_t offset) {
  auto bound = declarations_.find(offset);
  if (bound == declarations_.end()) {
    BoundDeclaration b;
    if (!view_.ReadDeclaration(offset, b.decl)) {
      Fatal("unreadable external declaration");
      return nullptr;
    }
    b.fn = options_.natives.Find(b.decl.library, b.decl.name);
    if (b.fn == nullptr && options_.timerEntries) b.fn = TimerEntry(b.decl.library, b.decl.name);
    bound = declarations_.emplace(offset, std::move(b)).first;
  }
  return &bound->second;
}

Status Machine::CallDeclaration(uint32_t offset, std::span<const Value> args) {
  const BoundDeclaration* bound = Bind(offset);
  if (bound == nullptr) return Status::kFatal;
  sources_.resize(args.size());
  for (size_t i = 0; i < args.size(); ++i) sources_[i] = &args[i];
  return CallBound(*bound, sources_);
}

Status Machine::CallBound(const BoundDeclaration& bound, std::span<const Value* const> args) {
  const DeclarationInfo& decl = bound.decl;
  if (bound.fn == nullptr) return Invoke(bound, {});
  if (args.size() != decl.paramTypes.size()) return RaiseAbout(err::kWrongArguments, "'", decl.name, "'");
  // Few arguments, the usual case, convert into an array on the stack; more
  // into one buffer (a native calls nothing back in the machine, so one
  // serves every call). What either holds goes when the call is over.
  if (args.size() <= kSmallNativeArgs) {
    // Only the values the call takes are made, each copied straight from
    // its source when it has the parameter's type.
    alignas(Value) unsigned char raw[kSmallNativeArgs * sizeof(Value)];
    Value* small = reinterpret_cast<Value*>(raw);
    size_t made = 0;
    int e = 0;
    for (; made < args.size(); ++made) {
      const Value& a = *args[made];
      if (a.type() == HeldType(decl.paramTypes[made])) {
        new (&small[made]) Value(a);
        continue;
      }
      new (&small[made]) Value();
      if ((e = ConvertOther(a, decl.paramTypes[made], small[made])) != 0) {
        ++made;
        break;
      }
    }
    const Status s = e != 0 ? Raise(e) : Invoke(bound, std::span<const Value>(small, made));
    std::destroy_n(small, made);
    return s;
  }
  std::vector<Value>& converted = nativeArgs_;
  converted.resize(args.size());
  int e = 0;
  for (size_t i = 0; i < args.size() && e == 0; ++i) e = Convert(*args[i], decl.paramTypes[i], converted[i]);
  const Status s = e != 0 ? Raise(e) : Invoke(bound, converted);
  converted.clear();
  return s;
}

Status Machine::Invoke(const BoundDeclaration& bound, std::span<const Value> converted) {
  const DeclarationInfo& decl = bound.decl;
  const NativeFunction* fn = bound.fn;
  if (fn == nullptr) return NativeError(decl, err::kErrorInLoadingDll, false);
  Value result;
  int e = 0;
  try {
    e = (*fn)(converted, result);
  } catch (const std::exception& ex) {
    return Fatal("native function \"" + decl.name + "\" failed: " + ex.what());
  } catch (...) {
    return Fatal("native function \"" + decl.name + "\" failed");
  }
  if (e != 0) return NativeError(decl, e, true);
  if (decl.isFunction) {
    Value r;
    if (int ce = Convert(result, decl.resultType, r)) return Raise(ce);
    stack_.push_back(std::move(r));
  }
  return Status::kOk;
}

const Procedure* Machine::PrepareAt(uint32_t offset) {
  auto& recent = recentProcedures_.At(offset);
  auto it = procedures_.find(offset);
  if (it != procedures_.end()) {
    recent = {offset, it->second.get()};
    return it->second.get();
  }
  ProcedureInfo info;
  if (!view_.ReadProcedure(offset, info)) {
    Fatal("no procedure entry at symbol offset " + std::to_string(offset));
    return nullptr;
  }
  if (info.ownerClass != 0) {
    if (const ClassInfo* cls = ClassAt(info.ownerClass)) info.name = cls->name + "::" + info.name;
  }
  auto proc = std::make_unique<Procedure>();
  std::string why;
  if (!PrepareProcedure(view_, info, globals_.size(), *proc, why)) {
    Fatal("cannot run '" + info.name + "': " + why);
    return nullptr;
  }
  PrepareDefaults(*proc);
  return procedures_.emplace(offset, std::move(proc)).first->second.get();
}

const ClassInfo* Machine::ClassAt(uint32_t offset) {
  auto& recent = recentClasses_.At(offset);
  if (recent.offset == offset && recent.found != nullptr) return recent.found;
  auto it = classes_.find(offset);
  if (it != classes_.end()) {
    recent = {offset, it->second.get()};
    return it->second.get();
  }
  auto cls = std::make_unique<ClassInfo>();
  if (!view_.ReadClass(offset, *cls)) return nullptr;
  return classes_.emplace(offset, std::move(cls)).first->second.get();
}

// The procedure and line of the innermost statement with a line: code that
// runs before a procedure's first line (the entry code a rewritten module
// adds) reports the statement that called it, as the plain run would.
std::string Machine::Where() const {
  const Frame* f = current_;
  while (f != nullptr && f->line == 0 && f->caller != nullptr) f = f->caller;
  if (f == nullptr || f->proc == nullptr) return "";
  std::string where = " in '" + f->proc->info.name + "'";
  if (f->line != 0) where += " at line " + std::to_string(f->line);
  return where;
}

Status Machine::RaiseAbout(int code, const char* before, const std::string& name, const char* after) {
  return Raise(code, before + name + after);
}

Status Machine::NativeError(const DeclarationInfo& decl, int code, bool called) {
  if (!called) return Raise(code, "no entry point \"" + decl.name + "\" in library \"" + decl.library + "\"");
  if (code == err::kErrorInLoadingDll) {
    return Raise(code, "library \"" + decl.library + "\" has no entry point \"" + decl.name + "\" in this process");
  }
  return Raise(code, "in \"" + decl.name + "\"");
}

Status Machine::RaiseUser(int code, const std::string& text) {
  errorCode_ = code;
  errorText_ = text;
  error_ = text + ", error " + std::to_string(code) + Where();
  return Status::kError;
}

Status Machine::Raise(int code, const std::string& detail) {
  errorCode_ = code;
  errorText_ = err::Text(code);
  error_ = std::string(err::Text(code)) + (detail.empty() ? "" : " (" + detail + ")") + ", error " +
           std::to_string(code) + Where();
  return Status::kError;
}

Status Machine::Fatal(const std::string& message) {
  halted_ = true;
  errorCode_ = 0;
  error_ = message + Where();
  return Status::kFatal;
}

}  // namespace quillet::lsrun
