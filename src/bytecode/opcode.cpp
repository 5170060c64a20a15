// The instruction base class and the encoder of instruction lists.
#include "bytecode/opcode.h"

#include "bytecode/opcode_layout.h"

namespace quillet {

const char* COpCode::name() const {
  const char* n = LookupOpcode(opcode()).name;
  return n ? n : "COpCode";
}

bool COpCode::encodable() const { return LookupOpcode(opcode()).encodable; }

uint8_t* COpCode::EmitSpace(std::vector<uint8_t>& buffer, int position, int length) {
  const size_t end = static_cast<size_t>(position) + static_cast<size_t>(length);
  if (buffer.size() < end) buffer.resize(end, 0);
  return buffer.data() + position;
}

std::vector<uint8_t> EncodeInstructions(const InstructionList& list) {
  // A zero-filled scratch of 4 bytes per instruction: no encodable instruction is
  // longer. emit grows the buffer anyway, so a longer one would still be safe.
  std::vector<uint8_t> scratch(list.size() * 4, 0);
  int position = 0;
  for (const auto& op : list) {
    if (op) position += op->emit(scratch, position);
  }
  scratch.resize(static_cast<size_t>(position));
  return scratch;
}

}  // namespace quillet
