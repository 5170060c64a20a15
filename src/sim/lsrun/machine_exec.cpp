// The instruction loop: one procedure's frame from its first instruction to
// its end, with runtime errors trapped by the frame's On Error settings.
#include <algorithm>
#include <utility>

#include "sim/lsrun/arrays.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/machine.h"
#include "sim/lsrun/operators.h"
#include "sim/lsrun/ops.h"

namespace quillet::lsrun {
namespace {

constexpr size_t kMaxStack = 1 << 20;
constexpr size_t kMaxGosubs = 1 << 16;
constexpr size_t kMaxOutput = 64u << 20;

// What a load pushes: the slot's value, or what a ForAll variable aliases.
const Value& Deref(const Value& slot) { return slot.type() == Value::Type::kRef ? *slot.ref() : slot; }

// Stores `v` through reference `ref`, converting for the slot; a ForAll
// variable's slot passes the store on to the element it aliases.
int StoreInto(Value* target, SlotType type, const Value& v, bool isSet) {
  if (target->type() == Value::Type::kRef) {
    type = target->slotType();
    target = target->ref();
  }
  const bool object = v.type() == Value::Type::kObject;
  if (isSet != object) return err::kTypeMismatch;
  if (isSet && type != SlotType::kObject && type != SlotType::kVariant) return err::kTypeMismatch;
  if (v.type() == HeldType(type)) return (*target = v, 0);  // no conversion
  // A Variant takes any value as it is; a Type's value, which it cannot
  // hold, and a reference go the converting way.
  if (type == SlotType::kVariant && v.type() != Value::Type::kRef && v.type() != Value::Type::kRecord) {
    // An array another variable still holds is copied; a new one (Split's) is taken as it is.
    if (const ArrayRep* array = v.array(); array != nullptr && array->refs() > 1) {
      return (*target = Value::Array(CopyOfArray(*array)), 0);
    }
    return (*target = v, 0);
  }
  Value converted;
  if (int e = Convert(v, type, converted)) return e;
  *target = std::move(converted);
  return 0;
}

int Store(const Value& ref, const Value& v, bool isSet) { return StoreInto(ref.ref(), ref.slotType(), v, isSet); }

bool IsWholeNumber(const Value& v) { return v.type() == Value::Type::kInteger || v.type() == Value::Type::kLong; }

}  // namespace

// Next of a For over an Integer or Long variable holding its own type, with
// a whole-number step and limit, the usual loop: the sum, the store and the
// test in whole numbers, as the general path would work them out. False,
// with nothing changed, for any other loop and for a sum the variable
// cannot hold (the general path raises its error).
bool Machine::NextInWholeNumbers(LoopState& st, int32_t& next, int32_t body) {
  Value* slot = st.var.ref();
  const SlotType type = st.var.slotType();
  if ((type != SlotType::kInteger && type != SlotType::kLong) || slot->type() != HeldType(type) ||
      !IsWholeNumber(st.step) || !IsWholeNumber(st.limit)) {
    return false;
  }
  const int64_t sum = int64_t{slot->n()} + st.step.n();
  if (type == SlotType::kInteger ? (sum < INT16_MIN || sum > INT16_MAX) : (sum < INT32_MIN || sum > INT32_MAX)) {
    return false;
  }
  *slot = type == SlotType::kInteger ? Value::Integer(static_cast<int16_t>(sum)) : Value::Long(static_cast<int32_t>(sum));
  if (st.step.n() >= 0 ? sum <= st.limit.n() : sum >= st.limit.n()) {
    next = body;
  } else {
    st = LoopState{};
  }
  return true;
}

bool Machine::Trap(Frame& f, int32_t pc, int32_t& next) {
  int32_t handler = f.handler;
  bool resumeNext = f.resumeNext;
  for (const Frame::NumberedHandler& h : f.numbered) {
    if (h.number == errorCode_) {
      handler = h.handler;
      resumeNext = h.resumeNext;
    }
  }
  if (!resumeNext && (handler < 0 || f.inHandler)) return false;
  stack_.resize(f.stackBase);
  markers_.resize(f.markerBase);
  // Err, Erl and Error$ describe the trapped error from here on.
  errNumber_ = errorCode_;
  errLine_ = f.line;
  errText_ = errorText_;
  if (resumeNext) {
    next = f.proc->NextStatement(pc);
  } else {
    f.inHandler = true;
    f.errorAt = pc;
    next = handler;
  }
  return true;
}

Status Machine::ErrorHandling(Frame& f, const Insn& in, int32_t& next, int& error) {
  const Procedure& p = *f.proc;
  auto set = [&](int32_t handler, bool resumeNext) {
    if (in.b == 0) {
      f.handler = handler;
      f.resumeNext = resumeNext;
      f.numbered.clear();
      return;
    }
    for (Frame::NumberedHandler& h : f.numbered) {
      if (h.number == in.b) {
        h.handler = handler;
        h.resumeNext = resumeNext;
        return;
      }
    }
    f.numbered.push_back({in.b, handler, resumeNext});
  };
  switch (in.op) {
    case op::kOnErrorGoto:
      set(in.a, false);
      return Status::kOk;
    case op::kOnErrorGoto0:
      set(-1, false);
      return Status::kOk;
    case op::kOnErrorResume:
      set(-1, true);
      return Status::kOk;
    default:
      break;
  }
  // Resume, Resume Next, Resume label: leave the handler; the error is over.
  if (!f.inHandler) return (error = err::kResumeWithoutError, Status::kOk);
  f.inHandler = false;
  errNumber_ = 0;
  errLine_ = 0;
  errText_.clear();
  if (in.op == op::kResumeLabel) {
    next = in.a;
  } else {
    next = in.op == op::kResumeNext ? p.NextStatement(f.errorAt) : p.StatementStart(f.errorAt);
  }
  return Status::kOk;
}

// Statement separators and line markers change nothing but the line, and
// rewritten code has several around every statement it adds: a run of them
// is passed over at once, counted, up to the step limit only, so that the
// limit falls on the same instruction as without this.
inline int32_t Machine::PassMarkers(Frame& f, int32_t pc) {
  const Insn& in = f.proc->code[static_cast<size_t>(pc)];
  if (in.markers == 0 || steps_ + static_cast<uint64_t>(in.markers) > maxSteps_) return pc;
  steps_ += static_cast<uint64_t>(in.markers);
  if (in.a >= 0) f.line = static_cast<uint16_t>(in.a);
  return pc + in.markers;
}

Status Machine::Execute(Frame& f) {
  const Procedure& p = *f.proc;
  int32_t pc = PassMarkers(f, 0);
  for (;;) {
    if (++steps_ >= checkAt_) {
      if (const Status s = CheckLimits(); s != Status::kOk) return s;
    }
    int32_t next = pc + 1;
    int error = 0;
    const Insn& in = p.code[static_cast<size_t>(pc)];
    // A fused form counts the steps of the instructions it stands for; near
    // the step limit they run one by one, so the limit falls on the same
    // instruction either way.
    Status s = Status::kOk;
    if (in.fused == Fused::kNone) {
      s = Step(f, in, pc, next, error);
    } else {
      switch (in.fused) {
        case Fused::kEnd:
          if (pending_.empty()) return Status::kOk;  // no destructor to run first
          s = Step(f, in, pc, next, error);
          break;
        case Fused::kNativeCall: {
          const NativeCall& call = p.nativeCalls[in.c - 1];
          s = steps_ + call.span <= maxSteps_ ? FusedNativeCall(f, in, call, pc, next, error)
                                              : Step(f, in, pc, next, error);
          break;
        }
        case Fused::kConstruct: {
          const Construction& make = p.constructions[in.c - 1];
          s = steps_ + make.span <= maxSteps_ ? FusedConstruct(f, in, make, pc, next, error)
                                              : Step(f, in, pc, next, error);
          break;
        }
        case Fused::kAssignment: {
          const Assignment& a = p.assignments[in.c - 1];
          if (steps_ + a.runSteps - 1 <= maxSteps_) {
            s = AssignmentRun(f, pc, next, error);
          } else {
            s = steps_ + 2 <= maxSteps_ ? FusedAssignment(f, in, a, pc, next, error) : Step(f, in, pc, next, error);
          }
          break;
        }
        case Fused::kSetNew: {
          const Construction& make = p.constructions[in.b - 1];
          s = steps_ + make.span + 2 <= maxSteps_ ? FusedSetNew(f, in, make, pc, next, error)
                                                  : Step(f, in, pc, next, error);
          break;
        }
        case Fused::kNone:
          break;
      }
    }
    // One test for the steps that go on at once, the usual case.
    if (s != Status::kOk || error != 0 || !pending_.empty()) [[unlikely]] {
      if (s == Status::kOk && error == 0) s = Drain();  // released objects' destructors
      if (error != 0) s = Raise(error);
      if (s == Status::kError) {
        if (!Trap(f, pc, next)) return s;
      } else if (s != Status::kOk) {
        return s;
      }
    }
    if (next < 0) return Status::kOk;  // the procedure ends
    if (stack_.size() > kMaxStack) return Fatal("value stack overflow");
    pc = PassMarkers(f, next);
  }
}

// The step limit, and every so many steps the clock: steps alone do not
// bound the work, as one step may copy a long string. Sets the step count
// at which to look again.
Status Machine::CheckLimits() {
  if (steps_ > maxSteps_) return StepLimitReached();
  if (steps_ >= nextClockCheck_) {
    nextClockCheck_ = steps_ + kStepsPerClockCheck;
    if (std::chrono::steady_clock::now() > deadline_) {
      return Fatal("time limit of " + std::to_string(options_.maxSeconds) + " seconds reached");
    }
  }
  checkAt_ = std::min(nextClockCheck_, maxSteps_ == UINT64_MAX ? maxSteps_ : maxSteps_ + 1);
  return Status::kOk;
}

// The rare ends of a run, out of the way of the paths that run every step.
Status Machine::MemberBeyondInstance() { return Fatal("member slot beyond the instance"); }

Status Machine::Unsupported(uint8_t op) { return Fatal("unsupported instruction " + std::to_string(op)); }

Status Machine::StepLimitReached() {
  return Fatal("step limit of " + std::to_string(options_.maxSteps) + " instructions reached");
}

// Where the value a simple load would push is held; null when the load
// fails, with `error` or `s` saying how.
inline const Value* Machine::SimpleSource(Frame& f, const SimpleLoad& load, int& error, Status& s) {
  const size_t slot = static_cast<size_t>(load.a);
  switch (load.op) {
    case op::kStringLiteral:
    case op::kNumericLiteral:
      return &f.proc->constants[slot];
    case op::kGLoadObj:
      return &Deref(globals_[slot]);
    case op::kLLoadObj:
      return &Deref(load.a == kResultSlot ? f.result : f.locals[slot]);
    case op::kPLoadObj:
      return &Deref(f.params[slot]);
    case op::kTLoadObj: {
      Instance* me = f.me.object();
      if (me == nullptr) return (error = err::kObjectVariableNotSet, nullptr);
      if (slot >= me->members.size()) return (s = MemberBeyondInstance(), nullptr);
      return &Deref(me->members[slot]);
    }
    default:
      return (s = Unsupported(load.op), nullptr);
  }
}

Status Machine::FusedNativeCall(Frame& f, const Insn& in, const NativeCall& call, int32_t pc, int32_t& next,
                                int& error) {
  if (call.bound == nullptr) call.bound = Bind(in.sym);
  const BoundDeclaration* bound = call.bound;
  if (bound == nullptr) return Status::kFatal;
  if (call.constant) {
    steps_ += static_cast<uint64_t>(call.span);
    next = pc + call.span + 1;
    return Invoke(*bound, call.converted);
  }
  // Every argument is read before any is converted, as the loads run
  // before the call: a load that fails wins over a conversion.
  // Where they are held goes in an array on the machine stack for the usual
  // few, in the reused buffer for more.
  const size_t n = call.args.size();
  const Value* few[kSmallNativeArgs];
  const Value** sources = few;
  if (n > kSmallNativeArgs) {
    sources_.resize(n);
    sources = sources_.data();
  }
  for (size_t k = 0; k < n; ++k) {
    Status s = Status::kOk;
    sources[k] = SimpleSource(f, call.args[k], error, s);
    if (sources[k] == nullptr) return s;
  }
  steps_ += static_cast<uint64_t>(call.span);
  next = pc + call.span + 1;
  return CallBound(*bound, std::span<const Value* const>(sources, n));
}

// The new object of class `cls` from the arguments the loads of `call`
// read, counting the instructions from OpLoadCtor's successor to OpCallProc.
Status Machine::ConstructFused(Frame& f, const Construction& call, uint32_t cls, int& error, Value& object) {
  if (call.constant) {
    steps_ += static_cast<uint64_t>(call.span);
    return Construct(cls, {}, call.converted, object);
  }
  // The arguments go on the value stack, where the call makes its
  // parameters from them, and leave it when it returns.
  const size_t height = stack_.size();
  for (const SimpleLoad& load : call.args) {
    Status s = Status::kOk;
    const Value* v = SimpleSource(f, load, error, s);
    if (v == nullptr) {
      stack_.resize(height);
      return s;
    }
    stack_.push_back(*v);
  }
  steps_ += static_cast<uint64_t>(call.span);
  const Status s = Construct(cls, std::span<Value>(stack_.data() + height, call.args.size()), {}, object);
  stack_.resize(height);
  return s;
}

Status Machine::FusedConstruct(Frame& f, const Insn& in, const Construction& call, int32_t pc, int32_t& next,
                               int& error) {
  Value object;
  Status s = ConstructFused(f, call, in.sym, error, object);
  if (s != Status::kOk || error != 0) return s;
  next = pc + call.span + 1;
  stack_.push_back(std::move(object));
  return s;
}

// The reference load `in`, the fused New after it and OpSet in one step.
Status Machine::FusedSetNew(Frame& f, const Insn& in, const Construction& call, int32_t pc, int32_t& next, int& error) {
  Status s = Status::kOk;
  Value* target = AssignTarget(f, in, error, s);
  if (target == nullptr) return s;
  const Insn& make = f.proc->code[static_cast<size_t>(pc) + 1];
  ++steps_;  // OpLoadCtor; ConstructFused counts its loads and OpCallProc
  Value object;
  s = ConstructFused(f, call, make.sym, error, object);
  if (s != Status::kOk || error != 0) return s;
  // The constructor's own steps may have reached the limit: then OpSet is
  // the instruction that passes it.
  if (++steps_ > maxSteps_) return StepLimitReached();
  next = pc + call.span + 3;
  // An object or Variant variable takes the new object as it is: moved in,
  // not copied and released.
  if (target->type() != Value::Type::kRef && (in.type == SlotType::kObject || in.type == SlotType::kVariant)) {
    *target = std::move(object);
    return Status::kOk;
  }
  error = StoreInto(target, in.type, object, true);
  return Status::kOk;
}

// Where the reference load `in` points; null when it fails, with `error` or
// `s` saying how.
inline Value* Machine::AssignTarget(Frame& f, const Insn& in, int& error, Status& s) {
  const size_t slot = static_cast<size_t>(in.a);
  switch (in.op) {
    case op::kGLoadObjPtr:
      return &globals_[slot];
    case op::kLLoadObjPtr:
      return in.a == kResultSlot ? &f.result : &f.locals[slot];
    case op::kPLoadObjPtr:
      return &f.params[slot];
    default: {  // OpTLoadObjPtr
      Instance* me = f.me.object();
      if (me == nullptr) return (error = err::kObjectVariableNotSet, nullptr);
      if (slot >= me->members.size()) return (s = MemberBeyondInstance(), nullptr);
      return &me->members[slot];
    }
  }
}

// A run of fused assignments from the one at `pc`, with the markers between
// them, in one step; stops after the assignment that fails (`pc` then
// names it, for its error's statement) or that releases an object, whose
// destructor runs before the next statement.
Status Machine::AssignmentRun(Frame& f, int32_t& pc, int32_t& next, int& error) {
  const Procedure& p = *f.proc;
  const Insn* in = &p.code[static_cast<size_t>(pc)];
  const Assignment* a = &p.assignments[static_cast<size_t>(in->c - 1)];
  for (int32_t left = a->run;;) {
    const Status s = FusedAssignment(f, *in, *a, pc, next, error);
    if (s != Status::kOk || error != 0 || --left == 0 || !pending_.empty()) return s;
    // The markers up to the next assignment and its reference load, as the
    // loop would count them; the whole run is within the step limit.
    steps_ += static_cast<uint64_t>(a->between) + 1;
    if (a->lineAfter >= 0) f.line = static_cast<uint16_t>(a->lineAfter);
    pc = next + a->between;
    in = &p.code[static_cast<size_t>(pc)];
    a = &p.assignments[static_cast<size_t>(in->c - 1)];
  }
}

// The reference load `in`, the load of `a` and OpAssign in one step.
inline Status Machine::FusedAssignment(Frame& f, const Insn& in, const Assignment& a, int32_t pc, int32_t& next, int& error) {
  Status s = Status::kOk;
  Value* target = AssignTarget(f, in, error, s);
  if (target == nullptr) return s;
  const Value* v = SimpleSource(f, a.source, error, s);
  if (v == nullptr) return s;
  steps_ += 2;
  next = pc + 3;
  // A scalar over a scalar, of the slot's own type or into a Variant, which
  // takes any scalar as it is: a plain copy.
  if (target->type() < Value::Type::kString && v->type() < Value::Type::kString &&
      (v->type() == HeldType(in.type) || in.type == SlotType::kVariant)) {
    *target = *v;
    return Status::kOk;
  }
  if (v->array() != nullptr) {
    const Value held = *v;  // the variable still holds its array: the Variant gets a copy
    error = StoreInto(target, in.type, held, false);
    return Status::kOk;
  }
  error = StoreInto(target, in.type, *v, false);
  return Status::kOk;
}

Status Machine::Step(Frame& f, const Insn& in, int32_t pc, int32_t& next, int& error) {
  const Procedure& p = *f.proc;
  switch (in.op) {
    case op::kLine:
      if (in.line != 0xFFFF) f.line = in.line;
      return Status::kOk;
    case op::kStmtSep:
      return Status::kOk;
    case op::kEndSub:
    case op::kExitSub:
      next = -1;
      return Status::kOk;
    case op::kEnd:
      return Status::kEnd;

    // Constants.
    case op::kInteger:
    case op::kSByte:
      stack_.push_back(Value::Integer(static_cast<int16_t>(in.a)));
      return Status::kOk;
    case op::kStringLiteral:
    case op::kNumericLiteral:
      stack_.push_back(p.constants[static_cast<size_t>(in.a)]);
      return Status::kOk;
    case op::kTrue:
    case op::kFalse:
      stack_.push_back(Value::Boolean(in.op == op::kTrue));
      return Status::kOk;
    case op::kNothing:
      stack_.push_back(Value::Nothing());
      return Status::kOk;
    case op::kIntMinusOne:
    case op::kIntMinusOne + 1:
    case op::kIntMinusOne + 2:
      stack_.push_back(Value::Integer(static_cast<int16_t>(in.op - op::kIntMinusOne - 1)));
      return Status::kOk;
    case op::kLongOne - 2:
    case op::kLongOne - 1:
    case op::kLongOne:
      stack_.push_back(Value::Long(in.op - op::kLongOne + 1));
      return Status::kOk;
    case op::kLoadMe:
      stack_.push_back(f.me.type() == Value::Type::kObject ? f.me : Value::Nothing());
      return Status::kOk;

    // Variables and references to them.
    case op::kGLoadObj:
      stack_.push_back(Deref(globals_[static_cast<size_t>(in.a)]));
      return Status::kOk;
    case op::kGLoadObjPtr:
      stack_.push_back(Value::Ref(&globals_[static_cast<size_t>(in.a)], in.type, nullptr));
      return Status::kOk;
    case op::kLLoadObj:
    case op::kLLoadObjPtr: {
      Value& slot = in.a == kResultSlot ? f.result : f.locals[static_cast<size_t>(in.a)];
      stack_.push_back(in.op == op::kLLoadObj ? Deref(slot) : Value::Ref(&slot, in.type, nullptr));
      return Status::kOk;
    }
    case op::kPLoadObj:
      stack_.push_back(Deref(f.params[static_cast<size_t>(in.a)]));
      return Status::kOk;
    case op::kPLoadObjPtr:
      stack_.push_back(Value::Ref(&f.params[static_cast<size_t>(in.a)], in.type, nullptr));
      return Status::kOk;
    case op::kTLoadObj:
    case op::kTLoadObjPtr:
    case op::kMLoadObj:
    case op::kMLoadObj2:
    case op::kMLoadObjPtr: {
      // Me is read where the frame holds it, which keeps it alive, without
      // a reference coming and going; an object popped off the stack is
      // held here until the load is done.
      Value popped;
      const Value* object = &f.me;
      if (in.op != op::kTLoadObj && in.op != op::kTLoadObjPtr) {
        if (!Need(f, 1)) return Fatal("stack underflow");
        popped = PopValue();
        object = &popped;
      }
      // An object's members, or those of a Type's value.
      Counted* holder = object->object();
      std::vector<Value>* members = holder != nullptr ? &object->object()->members : nullptr;
      if (RecordRep* record = Deref(*object).record()) {
        holder = record;
        members = &record->members;
      }
      if (members == nullptr) return (error = err::kObjectVariableNotSet, Status::kOk);
      if (static_cast<size_t>(in.a) >= members->size()) return MemberBeyondInstance();
      Value& slot = (*members)[static_cast<size_t>(in.a)];
      const bool ptr = in.op == op::kTLoadObjPtr || in.op == op::kMLoadObjPtr;
      stack_.push_back(ptr ? Value::Ref(&slot, in.type, holder) : Deref(slot));
      return Status::kOk;
    }
    case op::kAssign:
    case op::kSet: {
      if (!Need(f, 2)) return Fatal("stack underflow");
      Value v = PopValue();
      Value ref = PopValue();
      if (ref.type() != Value::Type::kRef) return Fatal("assignment to something that is not a variable");
      error = Store(ref, v, in.op == op::kSet);
      return Status::kOk;
    }
    case op::kAssignLocal: {
      if (!Need(f, 1)) return Fatal("stack underflow");
      Value v = PopValue();
      Value ref = Value::Ref(&f.locals[static_cast<size_t>(in.a)], SlotType::kVariant, nullptr);
      const Value held = Deref(v);  // a copy, so an array a variable holds counts as shared
      error = Store(ref, held, v.type() == Value::Type::kObject);
      return Status::kOk;
    }

    // Stack and operators.
    case op::kPop:
      if (!Need(f, 1)) return Fatal("stack underflow");
      stack_.pop_back();
      return Status::kOk;
    case op::kDup:
    case op::kDup2: {
      const size_t n = in.op == op::kDup ? 1 : 2;
      if (!Need(f, n)) return Fatal("stack underflow");
      for (size_t k = 0; k < n; ++k) {
        Value copy = stack_[stack_.size() - n];
        stack_.push_back(std::move(copy));
      }
      return Status::kOk;
    }
    case op::kUMinus:
    case op::kNot:
    case op::kCVar:
    case op::kCVarFirst:
    case op::kCByte:
    case op::kCInt:
    case op::kCLng:
    case op::kCSng:
    case op::kCDbl:
    case op::kCCur:
    case op::kCDat:
    case op::kCStr:
    case op::kCBool:
    case op::kAbs:
    case op::kInt:
    case op::kFix:
      if (!Need(f, 1)) return Fatal("stack underflow");
      return Unary(in, error);

    // Jumps.
    case op::kJZ:
    case op::kJNZ: {
      if (!Need(f, 1)) return Fatal("stack underflow");
      bool truth = false;
      error = Truth(PopValue(), truth);
      if (error == 0 && truth == (in.op == op::kJNZ)) next = in.a;
      return Status::kOk;
    }
    case op::kJmp:
    case op::kLongJmp:
      next = in.a;
      return Status::kOk;
    case op::kGosub:
      if (f.gosubs.size() >= kMaxGosubs) return (error = err::kOutOfStackSpace, Status::kOk);
      f.gosubs.push_back(pc + 1);
      next = in.a;
      return Status::kOk;
    case op::kReturn:
      if (f.gosubs.empty()) return (error = err::kReturnWithoutGosub, Status::kOk);
      next = f.gosubs.back();
      f.gosubs.pop_back();
      return Status::kOk;
    case op::kOnGoto:
    case op::kOnGosub: {
      if (!Need(f, 1)) return Fatal("stack underflow");
      int32_t n = 0;
      if ((error = ToLong(PopValue(), n)) != 0) return Status::kOk;
      if (n < 0 || n > 255) return (error = err::kIllegalFunctionCall, Status::kOk);
      const std::vector<int32_t>& targets = p.targetLists[static_cast<size_t>(in.a)];
      if (n == 0 || static_cast<size_t>(n) > targets.size()) return Status::kOk;
      if (in.op == op::kOnGosub) {
        if (f.gosubs.size() >= kMaxGosubs) return (error = err::kOutOfStackSpace, Status::kOk);
        f.gosubs.push_back(pc + 1);
      }
      next = targets[static_cast<size_t>(n - 1)];
      return Status::kOk;
    }
    case op::kFor:
    case op::kNext:
    case op::kForAll:
    case op::kNextForAll:
      return Loop(f, in, next, error);

    // Error handling.
    case op::kOnErrorGoto:
    case op::kOnErrorGoto0:
    case op::kOnErrorResume:
    case op::kResumeNext:
    case op::kResume0:
    case op::kResumeLabel:
      return ErrorHandling(f, in, next, error);
    case op::kErr:
      stack_.push_back(Value::Integer(static_cast<int16_t>(errNumber_)));
      return Status::kOk;
    case op::kErl:
      stack_.push_back(Value::Integer(static_cast<int16_t>(errLine_)));
      return Status::kOk;
    case op::kError:
      stack_.push_back(Value::String(errText_));
      return Status::kOk;
    case op::kErrorWithArg:
    case op::kErrorStmt:
    case op::kErrorStmtWithArg:
    case op::kErrStmt: {
      const size_t n = in.op == op::kErrorStmtWithArg ? 2 : 1;
      if (!Need(f, n)) return Fatal("stack underflow");
      std::string text;
      if (n == 2 && (error = ToText(PopValue(), text)) != 0) return Status::kOk;
      int32_t code = 0;
      if ((error = ToLong(PopValue(), code)) != 0) return Status::kOk;
      if (code < 0 || code > 32767 || (code == 0 && in.op != op::kErrStmt && in.op != op::kErrorWithArg)) {
        return (error = err::kIllegalFunctionCall, Status::kOk);
      }
      if (in.op == op::kErrorWithArg) {
        stack_.push_back(Value::String(code == 0 ? "" : err::Text(code)));
        return Status::kOk;
      }
      if (in.op == op::kErrStmt) {
        errNumber_ = code;
        if (code == 0) {
          errLine_ = 0;
          errText_.clear();
        }
        return Status::kOk;
      }
      return RaiseUser(code, n == 2 ? text : std::string(err::UserText(code)));
    }
    case op::kRedim:
    case op::kRedimPreserve:
    case op::kErase:
      return Redim(f, in, error);
    case op::kIsElement: {
      if (!Need(f, 2)) return Fatal("stack underflow");
      Value key = PopValue();
      Value held = PopValue();
      ListRep* list = Deref(held).list();
      if (list == nullptr) return (error = err::kTypeMismatch, Status::kOk);
      std::string tag;
      if ((error = ToText(key, tag)) != 0) return Status::kOk;
      stack_.push_back(Value::Boolean(list->Find(tag, false) != nullptr));
      return Status::kOk;
    }
    case op::kListTag:
      for (const ForAllState& st : f.forAlls) {
        if (st.slot == in.c && st.array.list() != nullptr) {
          stack_.push_back(Value::String(st.entry->tag));
          return Status::kOk;
        }
      }
      return (error = err::kIllegalFunctionCall, Status::kOk);
    case op::kDefaultArg:
    case op::kPrintTab:  // Print takes the missing value for a zone separator
      stack_.push_back(Value::Missing());
      return Status::kOk;
    case op::kBuiltinDisp:
      return Builtin(in, error);

    // Calls.
    case op::kLoadProc:
    case op::kLoadCtor:
    case op::kLoadMethod:
    case op::kLoadMeProc:
    case op::kLoadBaseProc: {
      Marker m{CalleeKind::kProcedure, in.sym, 0, Value()};
      const uint16_t k = static_cast<uint16_t>(in.b);
      if (in.op == op::kLoadCtor) {
        if (k != kind::kClass) return Fatal("OpLoadCtor names no class");
        m.kind = CalleeKind::kConstructor;
      } else if (k == kind::kDeclaration && in.op == op::kLoadProc) {
        m.kind = CalleeKind::kDeclaration;
      } else if (k != kind::kFunction && k != kind::kSub && k != kind::kProperty) {
        return Fatal("call of something that is not a procedure");
      } else if (in.op == op::kLoadMethod) {
        if (!Need(f, 1)) return Fatal("stack underflow");
        m.kind = CalleeKind::kMethod;
        m.target = PopValue();
      } else if (in.op == op::kLoadMeProc || in.op == op::kLoadBaseProc) {
        m.kind = CalleeKind::kMethod;
        m.target = f.me;
      }
      if (m.kind == CalleeKind::kMethod && m.target.object() == nullptr) {
        return (error = err::kObjectVariableNotSet, Status::kOk);
      }
      if (m.kind == CalleeKind::kMethod && in.op != op::kLoadBaseProc) m.sym = Override(m.target.object()->classOffset, m.sym);
      m.height = stack_.size();
      markers_.push_back(std::move(m));
      return Status::kOk;
    }
    case op::kCallProc:
      return CallFromStack(f, error);

    case op::kPrint:
    case op::kPrintNoCR:
      return Print(in, error);
    case op::kLoadElemFromExpr:
      if (!Need(f, static_cast<size_t>(in.a) + 1)) return Fatal("stack underflow");
      return Element(in, error);
    default:
      break;
  }
  if (in.op >= op::kBinaryFirst && in.op <= op::kBinaryLast) {
    if (!Need(f, 2)) return Fatal("stack underflow");
    Value b = PopValue();
    Value a = PopValue();
    Value r;
    error = Binary(in.op, a, b, r, options_.maxStringLength);
    stack_.push_back(std::move(r));
    return Status::kOk;
  }
  if (in.op >= op::kElemFirst && in.op <= op::kElemLast) {
    if (!Need(f, static_cast<size_t>(in.a) + 1)) return Fatal("stack underflow");
    return Element(in, error);
  }
  return Unsupported(in.op);
}

Status Machine::Loop(Frame& f, const Insn& in, int32_t& next, int& error) {
  // Continues while the variable has not passed the limit in the step's
  // direction.
  auto inRange = [&](const Value& var, const Value& limit, const Value& step, bool& go) {
    double v = 0, l = 0, s = 0;
    if (int e = ToDouble(Deref(var), v)) return e;
    if (int e = ToDouble(limit, l)) return e;
    if (int e = ToDouble(step, s)) return e;
    go = s >= 0 ? v <= l : v >= l;
    return 0;
  };
  switch (in.op) {
    case op::kFor: {
      if (!Need(f, 4)) return Fatal("stack underflow");
      LoopState st;
      st.step = PopValue();
      st.limit = PopValue();
      Value start = PopValue();
      st.var = PopValue();
      if (st.var.type() != Value::Type::kRef) return Fatal("For without a variable");
      if ((error = Store(st.var, start, false)) != 0) return Status::kOk;
      bool go = false;
      if ((error = inRange(*st.var.ref(), st.limit, st.step, go)) != 0) return Status::kOk;
      if (go) {
        f.loops[static_cast<size_t>(in.b)] = std::move(st);
      } else {
        next = in.a;
      }
      return Status::kOk;
    }
    case op::kNext: {
      LoopState& st = f.loops[static_cast<size_t>(in.b)];
      if (st.var.type() != Value::Type::kRef) return Fatal("Next without an active For");
      if (NextInWholeNumbers(st, next, in.a)) return Status::kOk;
      Value sum;
      if ((error = Binary(op::kBinaryFirst, Deref(*st.var.ref()), st.step, sum)) != 0) return Status::kOk;
      if ((error = Store(st.var, sum, false)) != 0) return Status::kOk;
      bool go = false;
      if ((error = inRange(*st.var.ref(), st.limit, st.step, go)) != 0) return Status::kOk;
      if (go) {
        next = in.a;
      } else {
        st = LoopState{};
      }
      return Status::kOk;
    }
    case op::kForAll: {
      if (!Need(f, 1)) return Fatal("stack underflow");
      Value array = PopValue();
      if (ListRep* list = Deref(array).list()) {
        if (list->entries.empty()) {
          next = in.a;
          return Status::kOk;
        }
        ForAllState st{Value::List(list), 0, list->entries.begin(), in.c};
        f.locals[static_cast<size_t>(in.c)] = Value::Ref(&st.entry->value, list->element, list);
        f.forAlls[static_cast<size_t>(in.b)] = std::move(st);
        return Status::kOk;
      }
      ArrayRep* rep = Deref(array).array();
      if (rep == nullptr) return (error = err::kTypeMismatch, Status::kOk);
      if (rep->items.empty()) {
        next = in.a;
        return Status::kOk;
      }
      f.locals[static_cast<size_t>(in.c)] = Value::Ref(&rep->items[0], rep->element, rep);
      f.forAlls[static_cast<size_t>(in.b)] = ForAllState{Value::Array(rep), 0, {}, in.c};
      return Status::kOk;
    }
    default: {  // NextForAll
      ForAllState& st = f.forAlls[static_cast<size_t>(in.b)];
      if (ListRep* list = st.array.list()) {
        // Erasing the element the loop stands on ends the loop.
        if (!st.entry->erased && ++st.entry != list->entries.end()) {
          f.locals[static_cast<size_t>(in.c)] = Value::Ref(&st.entry->value, list->element, list);
          next = in.a;
        } else {
          f.locals[static_cast<size_t>(in.c)] = Value();
          st = ForAllState{};
        }
        return Status::kOk;
      }
      ArrayRep* rep = st.array.array();
      if (rep == nullptr) return Fatal("End ForAll without an active ForAll");
      if (++st.index < rep->items.size()) {
        f.locals[static_cast<size_t>(in.c)] = Value::Ref(&rep->items[st.index], rep->element, rep);
        next = in.a;
      } else {
        f.locals[static_cast<size_t>(in.c)] = Value();
        st = ForAllState{};
      }
      return Status::kOk;
    }
  }
}

// An element of a one-dimensional array: its value (OpLoadElemFromExpr) or a
// reference to it (OpElem).
Status Machine::Element(const Insn& in, int& error) {
  if (in.a < 1 || static_cast<size_t>(in.a) > kMaxArrayDims) return Fatal("element access with " + std::to_string(in.a) + " subscripts");
  if (in.a > 1) return ElementOfDims(in, error);
  Value index = PopValue();
  Value array = PopValue();
  const Value& held = array.type() == Value::Type::kRef ? Deref(*array.ref()) : array;
  if (ListRep* list = held.list()) {
    // A list element by its tag: a reference makes a missing one.
    std::string tag;
    if ((error = ToText(index, tag)) != 0) return Status::kOk;
    Value* item = list->Find(tag, in.op != op::kLoadElemFromExpr);
    if (item == nullptr) return (error = err::kListItemDoesNotExist, Status::kOk);
    if (in.op == op::kLoadElemFromExpr) {
      stack_.push_back(*item);
    } else {
      stack_.push_back(Value::Ref(item, list->element, list));
    }
    return Status::kOk;
  }
  ArrayRep* rep = held.array();
  if (rep == nullptr) return (error = err::kTypeMismatch, Status::kOk);
  if (rep->dims.size() != 1) return (error = err::kSubscriptOutOfRange, Status::kOk);
  int32_t i = 0;
  if ((error = ToLong(index, i)) != 0) return Status::kOk;
  const int64_t at = int64_t{i} - rep->lower;
  if (at < 0 || at >= static_cast<int64_t>(rep->items.size())) return (error = err::kSubscriptOutOfRange, Status::kOk);
  Value& item = rep->items[static_cast<size_t>(at)];
  if (in.op == op::kLoadElemFromExpr) {
    stack_.push_back(item);
  } else {
    stack_.push_back(Value::Ref(&item, rep->element, rep));
  }
  return Status::kOk;
}

// ReDim [Preserve] (reference, lower, upper) puts a new array in the
// variable; Erase (reference) empties a dynamic array and resets a fixed one.
Status Machine::Redim(Frame& f, const Insn& in, int& error) {
  if (in.op != op::kErase && in.a > 1) return RedimDims(f, in, error);
  const size_t n = in.op == op::kErase ? 1 : 3;
  if (!Need(f, n)) return Fatal("stack underflow");
  int32_t lower = 0, upper = 0;
  if (n == 3) {
    Value hi = PopValue();
    Value lo = PopValue();
    if ((error = ToLong(hi, upper)) != 0 || (error = ToLong(lo, lower)) != 0) {
      stack_.pop_back();
      return Status::kOk;
    }
  }
  Value ref = PopValue();
  if (ref.type() != Value::Type::kRef) return Fatal("ReDim or Erase of something that is not a variable");
  if (in.op == op::kErase) {
    // Erase l(tag): the reference an element access made into the list.
    if (auto* list = dynamic_cast<ListRep*>(ref.holder())) {
      if (!list->Remove(ref.ref())) return (error = err::kListItemDoesNotExist, Status::kOk);
      return Status::kOk;
    }
  }
  Value* slot = ref.ref();
  if (slot->type() == Value::Type::kRef) slot = slot->ref();  // a parameter passed by reference
  if (ListRep* list = slot->list(); list != nullptr && in.op == op::kErase) {
    list->RemoveAll();
    return Status::kOk;
  }
  ArrayRep* old = slot->array();
  if (in.op == op::kErase) {
    if (old == nullptr) return (error = err::kTypeMismatch, Status::kOk);
    if (old->dynamic) {
      auto* empty = new ArrayRep(old->lower, 0, old->element);
      empty->dynamic = true;
      *slot = Value::Array(empty);
    } else {
      for (Value& item : old->items) item = Value::DefaultOf(old->element);
      FillRecords(*old);
    }
    return Status::kOk;
  }
  const int64_t count = int64_t{upper} - lower + 1;
  if (count < 0 || count > kMaxArrayElements) return (error = err::kSubscriptOutOfRange, Status::kOk);
  auto* rep = new ArrayRep(lower, static_cast<size_t>(count), in.type);
  rep->dynamic = true;
  Value fresh = Value::Array(rep);
  rep->record = in.b;
  if (in.op == op::kRedimPreserve && old != nullptr && (error = PreserveInto(*old, *rep)) != 0) return Status::kOk;
  FillRecords(*rep);
  *slot = std::move(fresh);
  return Status::kOk;
}

Status Machine::Print(const Insn& in, int& error) {
  const size_t n = static_cast<size_t>(in.a);
  if (stack_.size() - current_->stackBase < n) return Fatal("stack underflow");
  std::string line;
  for (size_t k = stack_.size() - n; k < stack_.size(); ++k) {
    if (stack_[k].IsMissing()) {  // "," : on to the next zone of 14 columns
      const size_t lineStart = output_.rfind('\n');
      const size_t column = output_.size() - (lineStart == std::string::npos ? 0 : lineStart + 1) + line.size();
      line.append(kPrintZoneWidth - column % kPrintZoneWidth, ' ');
      continue;
    }
    std::string text;
    if (!FormatValue(stack_[k], text)) {
      error = err::kTypeMismatch;
      break;
    }
    line += text;
  }
  stack_.resize(stack_.size() - n);
  if (error != 0) return Status::kOk;
  if (in.op == op::kPrint) line += '\n';
  if (output_.size() + line.size() > kMaxOutput) return Fatal("printed output exceeds its limit");
  output_ += line;
  return Status::kOk;
}

}  // namespace quillet::lsrun
