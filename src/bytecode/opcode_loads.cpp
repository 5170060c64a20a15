// Operand reading of member, element and ReDim instructions.
#include "bytecode/opcode_loads.h"

namespace quillet {

bool OpRedimObj::ReadFrom(ByteReader& r) {
  if (r.remaining() < (byteOperand() ? 2u : 3u)) return false;
  (void)r.ReadU8(subOperand);
  if (byteOperand()) {
    uint8_t dim = 0;
    (void)r.ReadU8(dim);
    dimOperand = dim;
    return true;
  }
  return r.ReadU16(dimOperand);
}

bool OpLoadExtProp55::ReadFrom(ByteReader& r) {
  if (r.remaining() < 6) return false;
  return r.ReadU16(operand) && ReadKept(r, skipped.data(), skipped.size());
}

bool OpLoadElemFromObj::ReadFrom(ByteReader& r) {
  if (r.remaining() < 3) return false;
  return r.ReadU16(operand) && r.ReadU8(subOperand);
}

bool OpLoadElemPtrFromObj::ReadFrom(ByteReader& r) {
  if (r.remaining() < 4) return false;
  return r.ReadU16(operand) && r.ReadU8(subOperand) && ReadKept(r, skipped.data(), skipped.size());
}

}  // namespace quillet
