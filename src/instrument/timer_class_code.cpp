// Instruction lists of the injected code.
#include "instrument/timer_class_code.h"

#include <memory>
#include <utility>

#include "instrument/opcodes.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr int kEqualOperator = 178;
// The DELETE body's end-of-run test skips exactly one timer call.
constexpr int16_t kTimerCallLength = 25;
constexpr size_t kFnIdMember = 2;

template <typename Op, typename... Args>
void Add(InstructionList& list, Args... args) {
  list.push_back(std::make_unique<Op>(args...));
}

int16_t Word(uint32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }

// Synthetic line; load the function timer; the five members; the type; call.
void AddFunctionTimerCall(InstructionList& list, const TimerClassHandles& h, uint16_t functionTimer, int16_t type) {
  Add<OpLine>(list, OpLine::kSyntheticLine);
  Add<OpLoadProc>(list, functionTimer);
  for (uint16_t member : h.members) Add<OpTLoadObj>(list, member);
  Add<OpInteger>(list, type);
  Add<OpCallProc>(list);
}

// Key low and high, procedure, note ID low and high.
void AddIdentity(InstructionList& list, const TimerIdentity& id) {
  Add<OpInteger>(list, Word(id.key));
  Add<OpInteger>(list, Word(id.key >> 16));
  Add<OpInteger>(list, static_cast<int16_t>(id.procedure));
  Add<OpInteger>(list, Word(id.noteId));
  Add<OpInteger>(list, Word(id.noteId >> 16));
}

}  // namespace

InstructionList BuildNewBody(const TimerClassHandles& handles, uint16_t functionTimer) {
  InstructionList list;
  for (size_t i = 0; i < kTimerMemberCount; ++i) {
    Add<OpLine>(list, OpLine::kSyntheticLine);
    Add<OpTLoadObjPtr>(list, handles.members[i]);
    Add<OpPLoadObj>(list, handles.params[i]);
    Add<OpAssign>(list);
  }
  AddFunctionTimerCall(list, handles, functionTimer, timer_type::kEnter);
  return list;
}

InstructionList BuildDeleteBody(const TimerClassHandles& handles, uint16_t functionTimer,
                                std::optional<uint16_t> endOfRun) {
  InstructionList list;
  AddFunctionTimerCall(list, handles, functionTimer, timer_type::kExit);
  if (endOfRun) {
    Add<OpLine>(list, OpLine::kSyntheticLine);
    Add<OpTLoadObj>(list, handles.members[kFnIdMember]);
    Add<OpInteger>(list, static_cast<int16_t>(*endOfRun));
    list.push_back(std::make_unique<OpBinaryOperator>(kEqualOperator));
    Add<OpJZ>(list, kTimerCallLength);
    AddFunctionTimerCall(list, handles, functionTimer, timer_type::kEndOfRun);
  }
  return list;
}

InstructionList BuildEntryCode(uint16_t timerVariable, uint16_t timerClass, const TimerIdentity& id) {
  InstructionList list;
  Add<OpLine>(list, OpLine::kSyntheticLine);
  Add<OpLLoadObjPtr>(list, timerVariable);
  Add<OpLoadCtor>(list, timerClass);
  AddIdentity(list, id);
  Add<OpCallProc>(list);
  Add<OpSet>(list);
  Add<OpStmtSep>(list);
  return list;
}

void LineCall::SetLine(uint16_t argument) { StoreU16(bytes.data() + argumentAt, argument); }

LineCall BuildLineCall(uint16_t lineTimer, const TimerIdentity& id) {
  InstructionList head;
  Add<OpLine>(head, OpLine::kSyntheticLine);
  Add<OpLoadProc>(head, lineTimer);
  AddIdentity(head, id);
  Add<OpInteger>(head, timer_type::kLine);
  LineCall call;
  call.bytes = EncodeInstructions(head);
  call.argumentAt = call.bytes.size() + 1;  // after the line argument's opcode byte

  InstructionList tail;
  Add<OpInteger>(tail, int16_t{0});
  Add<OpCallProc>(tail);
  Add<OpStmtSep>(tail);
  const std::vector<uint8_t> rest = EncodeInstructions(tail);
  call.bytes.insert(call.bytes.end(), rest.begin(), rest.end());
  return call;
}

}  // namespace quillet
