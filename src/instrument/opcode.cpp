// The instruction base class and the encoder of instruction lists.
#include "instrument/opcode.h"

namespace quillet {

const char* COpCode::name() const { return "COpCode"; }

bool COpCode::encodable() const { return false; }

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
