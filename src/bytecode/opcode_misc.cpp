// Line markers, Print and the other instructions with a layout of their own.
#include "bytecode/opcode_misc.h"

#include <algorithm>

namespace quillet {

int OpLine::emit(std::vector<uint8_t>& buffer, int position) const {
  uint8_t* p = EmitSpace(buffer, position, 3);
  p[0] = 26;
  StoreU16(p + 1, line);
  return 3;
}

void OpLine::AddAnnotation(int32_t at, std::string text) {
  auto pos = std::upper_bound(annotations.begin(), annotations.end(), at,
                              [](int32_t o, const auto& entry) { return o < entry.first; });
  annotations.emplace(pos, at, std::move(text));
}

int OpPrint::emit(std::vector<uint8_t>& buffer, int position) const {
  uint8_t* p = EmitSpace(buffer, position, 2);
  p[0] = static_cast<uint8_t>(opcode());
  WriteTo(p + 1);
  return 2;
}

bool OpSByteAs::ReadFrom(ByteReader& r) {
  if (r.remaining() < 2) return false;
  return r.ReadU8(subOperand) && r.ReadU8(typeByte);
}

bool OpIntegerAs::ReadFrom(ByteReader& r) {
  if (r.remaining() < 3) return false;
  return ReadS16(r, value) && r.ReadU8(typeByte);
}

bool OpOnErrorResume::ReadFrom(ByteReader& r) {
  if (r.remaining() < 4) return false;
  return r.ReadU16(operand) && ReadKept(r, skipped.data(), skipped.size());
}

}  // namespace quillet
