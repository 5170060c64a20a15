// SkipNext: the decoder's checks on one instruction without keeping it. The
// instruction is read by its own class into an object on the stack, so the
// checks are DecodeNext's own while no instruction memory is taken.
#include <type_traits>

#include "bytecode/decoder.h"
#include "bytecode/opcode_numbers.h"
#include "bytecode/opcodes.h"

namespace quillet {
namespace {

// What DecodeNext looks at after reading, besides the length.
struct Checked {
  int32_t line = -1;     // an OpLine's line
  int32_t builtin = -1;  // the number of OpBuiltinDisp or OpBuiltinFileDisp
};

// An instruction of class T read from `r` as decoding reads it, for opcode
// byte `op`; the object is made as MakeInstruction makes it.
template <class T>
T Blank(int op) {
  if constexpr (requires(T& t) { t.variant; }) {
    return T(op);
  } else {
    return T();
  }
}

template <class T>
bool CheckAs(int op, ByteReader& r, Checked& checked) {
  T instr = Blank<T>(op);
  if (!instr.ReadFrom(r)) return false;
  if constexpr (std::is_same_v<T, OpLine>) checked.line = instr.line;
  if constexpr (std::is_same_v<T, OpBuiltinDisp> || std::is_same_v<T, OpBuiltinFileDisp>)
    checked.builtin = static_cast<int32_t>(instr.subOperand);
  return true;
}

ReadResult CheckOperands(int op, ByteReader& r, Checked& checked) {
  switch (op) {
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  case byte: return CheckAs<Class>(byte, r, checked) ? ReadResult::kOk : ReadResult::kTruncated;
#include "bytecode/opcodes.def"
    default: return ReadResult::kUnknownOpcode;
  }
}

}  // namespace

bool SkipNext(DecodeCursor& cursor) noexcept {
  const int32_t start = cursor.position;
  if (start < 0 || static_cast<size_t>(start) >= cursor.code.size()) return false;
  ByteReader reader(cursor.code);
  (void)reader.Seek(static_cast<size_t>(start) + 1);  // past the opcode byte, inside or at the end
  const unsigned op = cursor.code[static_cast<size_t>(start)];
  Checked checked;
  try {
    if (CheckOperands(static_cast<int>(op), reader, checked) != ReadResult::kOk) return false;
  } catch (...) {
    return false;  // an operand list too large for memory: DecodeNext fails on it too
  }
  switch (op) {
    case op::kLine: cursor.currentLine = checked.line; break;
    case op::kBuiltinDisp:
      if (!IsKnownBuiltin(checked.builtin)) return false;
      break;
    case op::kBuiltinFileDisp:
      if (checked.builtin > OpBuiltinFileDisp::kLastFileBuiltin) return false;
      break;
    default: break;
  }
  cursor.position = static_cast<int32_t>(reader.pos());
  return true;
}

}  // namespace quillet
