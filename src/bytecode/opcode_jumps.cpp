// Jump instructions: operand reading and target re-encoding.
#include "bytecode/opcode_jumps.h"

namespace quillet {

void OpJmp::setCaseTargets(const std::vector<int32_t>& targets, int32_t extra, int value) {
  caseTargets = targets;
  caseExtra = extra;
  caseValue = value;
  kind_ = 8;
}

bool OpJmp::setTarget(int32_t absolute) {
  return EncodeRelTarget(static_cast<int64_t>(offset) + branchSize(), absolute, relTarget);
}

bool OpJmp::ReadFrom(ByteReader& r) { return ReadS16(r, relTarget); }

bool OpForAll::setTarget(int32_t absolute) {
  return EncodeRelTarget(static_cast<int64_t>(offset) + branchSize(), absolute, relTarget);
}

bool OpForAll::ReadFrom(ByteReader& r) {
  if (r.remaining() < 4) return false;
  return r.ReadU16(operand) && ReadS16(r, relTarget);
}

bool OpNextForAll::setTarget(int32_t absolute) {
  return EncodeRelTarget(static_cast<int64_t>(offset) + branchSize(), absolute, relTarget);
}

bool OpNextForAll::ReadFrom(ByteReader& r) {
  if (r.remaining() < 4) return false;
  return ReadKept(r, skipped.data(), skipped.size()) && ReadS16(r, relTarget);
}

bool OpOnErrorGoto::setTarget(int32_t absolute) {
  return EncodeRelTarget(static_cast<int64_t>(offset) + branchSize(), absolute, relTarget);
}

bool OpOnErrorGoto::ReadFrom(ByteReader& r) {
  if (r.remaining() < 8) return false;
  return r.ReadU16(operand) && ReadKept(r, skipped.data(), skipped.size()) &&
         ReadS16(r, relTarget);
}

}  // namespace quillet
