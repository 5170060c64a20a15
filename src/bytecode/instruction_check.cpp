// SkipNext: the decoder's checks on one instruction without keeping it. An
// instruction of a fixed operand layout is only measured; any other is read
// by its own class into an object on the stack, so the checks are
// DecodeNext's own while no instruction memory is taken.
#include <array>
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

// Bytes after the opcode byte of the instructions SkipNext only measures: a
// fixed layout whose operands the decoder does not look at; -1 for the rest
// (variable layouts, OpLine and the built-in calls, bytes outside the set).
constexpr std::array<int8_t, 256> kMeasuredLength = [] {
  std::array<int8_t, 256> lengths{};
  lengths.fill(-1);
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  lengths[byte] = static_cast<int8_t>(OperandLength(OperandLayout::Layout));
#include "bytecode/opcodes.def"
  for (const int special : {op::kLine, op::kBuiltinDisp, op::kBuiltinFileDisp}) lengths[special] = -1;
  for (int8_t& length : lengths)
    if (length < 0) length = -1;
  return lengths;
}();

}  // namespace

bool SkipNext(DecodeCursor& cursor) noexcept {
  const int32_t start = cursor.position;
  if (start < 0 || static_cast<size_t>(start) >= cursor.code.size()) return false;
  ByteReader reader(cursor.code);
  (void)reader.Seek(static_cast<size_t>(start) + 1);  // past the opcode byte, inside or at the end
  const unsigned op = cursor.code[static_cast<size_t>(start)];
  if (const int8_t measured = kMeasuredLength[op]; measured >= 0) {
    if (cursor.code.size() - static_cast<size_t>(start) - 1 < static_cast<size_t>(measured)) return false;
    cursor.position = start + 1 + measured;
    return true;
  }
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
