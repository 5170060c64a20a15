// Instruction lists of the injected code, and the per-procedure pieces
// encoded straight to bytes.
#include "instrument/timer_class_code.h"

#include <memory>
#include <utility>

#include "bytecode/opcode_numbers.h"
#include "bytecode/opcodes.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// The DELETE body's end-of-run test skips exactly one timer call.
constexpr int16_t kTimerCallLength = 25;
constexpr size_t kFnIdMember = 2;
constexpr size_t kEntryInstructions = 11;

// Appends each instruction handed to it to a list.
struct ListSink {
  InstructionList& list;
  template <typename Op>
  void operator()(Op op) const {
    list.push_back(std::make_unique<Op>(std::move(op)));
  }
};

// Encodes each instruction handed to it after the previous one, as
// EncodeInstructions encodes a list: the pieces built once per procedure
// need no allocated instruction objects.
class ByteSink {
 public:
  explicit ByteSink(size_t length) : bytes_(length, 0) {}
  void operator()(const COpCode& op) { position_ += op.emit(bytes_, position_); }
  size_t Position() const { return static_cast<size_t>(position_); }
  std::vector<uint8_t> Take() {
    bytes_.resize(Position());
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  int position_ = 0;
};

int16_t Word(uint32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }

// Synthetic line; load the function timer; the five members; the type; call.
template <typename Out>
void EmitFunctionTimerCall(Out& out, const TimerClassHandles& h, uint16_t functionTimer, int16_t type) {
  out(OpLine(OpLine::kSyntheticLine));
  out(OpLoadProc(functionTimer));
  for (uint16_t member : h.members) out(OpTLoadObj(member));
  out(OpInteger(type));
  out(OpCallProc());
}

template <typename Out>
void EmitNewBody(Out& out, const TimerClassHandles& handles, uint16_t functionTimer) {
  for (size_t i = 0; i < kTimerMemberCount; ++i) {
    out(OpLine(OpLine::kSyntheticLine));
    out(OpTLoadObjPtr(handles.members[i]));
    out(OpPLoadObj(handles.params[i]));
    out(OpAssign());
  }
  EmitFunctionTimerCall(out, handles, functionTimer, timer_type::kEnter);
}

template <typename Out>
void EmitDeleteBody(Out& out, const TimerClassHandles& handles, uint16_t functionTimer,
                    std::optional<uint16_t> endOfRun) {
  EmitFunctionTimerCall(out, handles, functionTimer, timer_type::kExit);
  if (endOfRun) {
    out(OpLine(OpLine::kSyntheticLine));
    out(OpTLoadObj(handles.members[kFnIdMember]));
    out(OpInteger(static_cast<int16_t>(*endOfRun)));
    out(OpBinaryOperator(op::kEq));
    out(OpJZ(kTimerCallLength));
    EmitFunctionTimerCall(out, handles, functionTimer, timer_type::kEndOfRun);
  }
}

// Key low and high, procedure, note ID low and high.
template <typename Out>
void EmitIdentity(Out& out, const TimerIdentity& id) {
  out(OpInteger(Word(id.key)));
  out(OpInteger(Word(id.key >> 16)));
  out(OpInteger(static_cast<int16_t>(id.procedure)));
  out(OpInteger(Word(id.noteId)));
  out(OpInteger(Word(id.noteId >> 16)));
}

template <typename Out>
void EmitEntryCode(Out& out, uint16_t timerVariable, uint16_t timerClass, const TimerIdentity& id) {
  out(OpLine(OpLine::kSyntheticLine));
  out(OpLLoadObjPtr(timerVariable));
  out(OpLoadCtor(timerClass));
  EmitIdentity(out, id);
  out(OpCallProc());
  out(OpSet());
  out(OpStmtSep());
}

}  // namespace

InstructionList BuildNewBody(const TimerClassHandles& handles, uint16_t functionTimer) {
  InstructionList list;
  ListSink out{list};
  EmitNewBody(out, handles, functionTimer);
  return list;
}

InstructionList BuildDeleteBody(const TimerClassHandles& handles, uint16_t functionTimer,
                                std::optional<uint16_t> endOfRun) {
  InstructionList list;
  ListSink out{list};
  EmitDeleteBody(out, handles, functionTimer, endOfRun);
  return list;
}

std::vector<uint8_t> EncodeNewBody(const TimerClassHandles& handles, uint16_t functionTimer) {
  ByteSink out(kNewBodyLength);
  EmitNewBody(out, handles, functionTimer);
  return out.Take();
}

std::vector<uint8_t> EncodeDeleteBody(const TimerClassHandles& handles, uint16_t functionTimer,
                                      std::optional<uint16_t> endOfRun) {
  ByteSink out(endOfRun ? kDeleteBodyWithEndLength : kDeleteBodyLength);
  EmitDeleteBody(out, handles, functionTimer, endOfRun);
  return out.Take();
}

InstructionList BuildEntryCode(uint16_t timerVariable, uint16_t timerClass, const TimerIdentity& id) {
  InstructionList list;
  list.reserve(kEntryInstructions);
  ListSink out{list};
  EmitEntryCode(out, timerVariable, timerClass, id);
  return list;
}

std::vector<uint8_t> EncodeEntryCode(uint16_t timerVariable, uint16_t timerClass, const TimerIdentity& id) {
  ByteSink out(kEntryCodeLength);
  EmitEntryCode(out, timerVariable, timerClass, id);
  return out.Take();
}

void LineCall::SetLine(uint16_t argument) { StoreU16(bytes.data() + argumentAt, argument); }

LineCall BuildLineCall(uint16_t lineTimer, const TimerIdentity& id) {
  ByteSink out(kLineCallLength);
  out(OpLine(OpLine::kSyntheticLine));
  out(OpLoadProc(lineTimer));
  EmitIdentity(out, id);
  out(OpInteger(timer_type::kLine));
  LineCall call;
  call.argumentAt = out.Position() + 1;  // after the line argument's opcode byte
  out(OpInteger(int16_t{0}));
  out(OpCallProc());
  out(OpStmtSep());
  call.bytes = out.Take();
  return call;
}

}  // namespace quillet
