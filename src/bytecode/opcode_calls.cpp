// Operand reading of built-in calls, event bindings and Evaluate/Execute.
#include "bytecode/opcode_calls.h"

namespace quillet {
namespace {

// Takes the optional Pop byte when it is the next byte.
bool TakePop(ByteReader& r) {
  if (r.remaining() < 1 || r.data()[r.pos()] != kPopsResultByte) return false;
  return r.Skip(1);
}

}  // namespace

bool OpBuiltinFileDisp::ReadFrom(ByteReader& r) {
  const size_t start = r.pos();
  uint8_t builtin = 0;
  uint8_t args = 0;
  if (!r.ReadU8(builtin)) return false;
  if (TakesArgCount(builtin) && !r.ReadU8(args)) {
    (void)r.Seek(start);
    return false;
  }
  subOperand = builtin;
  argCount = args;
  return true;
}

bool OpOnEventCall::ReadFrom(ByteReader& r) {
  if (r.remaining() < 4) return false;
  return r.ReadU16(eventOperand) && r.ReadU16(operand);
}

bool OpOnProdEventCall::ReadFrom(ByteReader& r) {
  if (r.remaining() < 6) return false;
  return r.ReadU16(eventOperand) && ReadKept(r, skipped.data(), skipped.size()) &&
         r.ReadU16(operand);
}

bool OpEvaluate::ReadFrom(ByteReader& r) {
  if (!r.ReadU16(operand)) return false;
  popsResult = TakePop(r);
  return true;
}

bool OpExecute::ReadFrom(ByteReader& r) {
  popsResult = TakePop(r);
  return true;
}

}  // namespace quillet
